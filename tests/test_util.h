// Shared helpers for the core's tests: scratch files and mesh invariants.
#pragma once

#include <string>

struct Mesh;

// A path for a scratch file named after the running test and tag, in the working folder.
std::string ScratchPath(const std::string& tag);
// Writes bytes to a scratch file and returns its path.
std::string WriteScratchFile(const std::string& tag, const std::string& bytes);
// Reads a whole file as bytes; empty when it cannot be opened.
std::string ReadWholeFile(const std::string& path);

// Checks every invariant of a mesh record with gtest assertions (non-fatal).
void CheckMeshInvariants(const Mesh* mesh);
