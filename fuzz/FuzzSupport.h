#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Scratch space of a fuzz target: one temporary folder per process, reused for every input.
class FuzzScratch {
public:
    static const std::string& Folder();
    // Writes `size` bytes to `relative` inside the scratch folder (folders created); returns the path.
    static std::string Write(const std::string& relative, const uint8_t* data, size_t size);
    static std::string Path(const std::string& relative);
    // Creates the folder `relative` inside the scratch folder; returns its path.
    static std::string MakeDir(const std::string& relative);
};

// The fuzz targets' entry point, also driven by the replay program on builds without the fuzzer.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Set-up before the first input (defined in FuzzSupport.cpp), also called by the replay program.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
