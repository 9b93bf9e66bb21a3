// Damaged files of every kind the preview reads, made from sound files the test writes or
// builds itself: cut short, bits flipped, sizes, counts and offsets set to hostile values,
// records removed or repeated, and sizes claimed that the file does not hold. The same corpus
// every run: the generator's seed is fixed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "picture_files.h"

namespace qcd::test {

struct HostileFile {
    // <kind>-<class>-<what>-<number>.<kind>, e.g. emf-field-r5polygon16-cpts-ffff-031.emf
    std::wstring name;
    std::string kind;      // the extension, without the dot
    std::string mutation;  // seed, trunc, flip, field, struct, huge, sparse, garbage
    std::string detail;    // what was done to which seed, with offsets and old values
    Bytes bytes;
    // Made this long by moving the end of file (sparse, zeros) when more than the bytes.
    uint64_t extendTo = 0;
};

struct HostileSources {
    std::filesystem::path fixtures;  // the build's JPEGs and three_icons.dll
    std::filesystem::path control;   // QuorCommonDialogControl.ocx
    std::filesystem::path program;   // a large executable: the test itself
};

// Needs a window station: the metafiles are recorded by GDI.
std::vector<HostileFile> MakeHostileCorpus(const HostileSources& sources);

bool WriteHostileFile(const std::filesystem::path& folder, const HostileFile& file);

// Counts per kind and class, one line a kind, and the totals.
std::string HostileManifest(const std::vector<HostileFile>& files);

}  // namespace qcd::test
