/// @file
/// File names for the viewer's recording: one picture a pass, named by a
/// pattern such as "shots/frame%04d.png".
#pragma once

#include <cstddef>
#include <cstdint>

namespace orj {

/// Whether pattern can name the recording's pictures. A pattern holds exactly
/// one number field, "%d" or "%Nd" / "%0Nd" with a width N of at most 20
/// ("0": padded with zeros); "%%" stands for a percent sign. Nothing else may
/// follow a percent sign.
bool check_record_pattern(const char *pattern);

/// The pattern with number put in its field. False when the pattern is not
/// one check_record_pattern takes or the name does not fit in size bytes.
bool record_file_name(const char *pattern, int32_t number, char *buffer, size_t size);

}  // namespace orj
