#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Scratch space of a fuzz target: one temporary folder per process, reused for every input.
class FuzzScratch {
public:
    static const std::string& Folder();
    // Makes the file `relative` inside the scratch folder hold `bytes` (folders created).
    static void Write(const std::string& relative, std::string_view bytes);
    static std::string Path(const std::string& relative);
};

// The fuzz targets' entry point, also driven by the replay program on builds without the fuzzer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Set-up before the first input (defined in FuzzSupport.cpp), also called by the replay program.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
