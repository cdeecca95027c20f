#pragma once

#include <fstream>
#include <string>

// What the benchmarks read of their own memory.
namespace Memory
{

// A field of /proc/self/status in MB (VmRSS now, VmHWM the peak).
inline double mb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ':';
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// Starts the peak (VmHWM) afresh from what the process holds now.
inline void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace Memory
