// Small file helpers of the asset generator: whole-file reads, atomic writes.
// Build-time tool code; single-threaded.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

bool readFile(const std::string &path, std::string &out);

// Writes to "<path>.tmp" and renames over `path`, so a reader never sees half a file.
bool writeFileAtomic(const std::string &path, const void *data, size_t size, std::string &error);

std::string dirName(const std::string &path);

// Make-style dependency file: "<target>: dep dep ...", spaces escaped.
bool writeDepfile(const std::string &depfile, const std::string &target,
                  const std::vector<std::string> &deps, std::string &error);

// Line ends normalised to CR LF (the engine's INI reader stops values at CR).
std::string toCrlf(const std::string &text);

}  // namespace assetgen
