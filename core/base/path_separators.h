// The characters that separate a path's components: Windows takes '\' as
// well as '/'.
#pragma once

#ifdef _WIN32
#define PATH_SEPARATORS "/\\"
#else
#define PATH_SEPARATORS "/"
#endif
