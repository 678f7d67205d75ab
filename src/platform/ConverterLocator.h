#pragma once

#include <string>

namespace brisel {

// The converter executable: <resource folder>/ffmpeg/ffmpeg when it is there (a converter
// shipped with the program), otherwise "ffmpeg", found on PATH when it is started.
std::string ConverterExecutable();

// Makes ConverterExecutable answer `path` (tests: a fault-injecting converter); empty
// restores the normal search.
void SetConverterOverrideForTesting(const std::string& path);

}  // namespace brisel
