#include "orj/core/viewer/viewer_outputs.h"

#include <cstring>
#include <string>
#include <vector>

#include "orj/core/base/output_file.h"
#include "orj/core/viewer/record_name.h"

namespace orj {

ErrorKind check_viewer_outputs(const ViewerOptions *options, Error *error)
{
    std::vector<std::string> inputs, outputs;
    for (const char *input : {options->scene_path, options->texture_path})
        if (input) inputs.push_back(input);
    if (options->screenshot_path) outputs.push_back(options->screenshot_path);
    if (options->report_json_path && strcmp(options->report_json_path, "-") != 0)
        outputs.push_back(options->report_json_path);
    if (options->trace_path) outputs.push_back(options->trace_path);
    char first_record[4096];
    if (options->record_pattern) {
        if (!record_file_name(options->record_pattern, 0, first_record, sizeof first_record))
            return set_error(error, ERROR_REFUSED, options->record_pattern, 0, "is no name for recorded pictures");
        outputs.push_back(first_record);
    }
    ErrorKind kind = check_output_paths(inputs, outputs, error);
    for (size_t i = 0; i < outputs.size() && kind == ERROR_NONE; i++)
        kind = check_output_path(outputs[i].c_str(), error);
    return kind;
}

}  // namespace orj
