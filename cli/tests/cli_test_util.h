// Helpers of the batch tool's tests: capture files, running the built program, golden files.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A scratch file opened for writing and reading back (tmpfile() cannot be used under Wine,
// where it would create the file in the root folder).
struct CaptureFile
{
    std::string path;
    FILE* file;
    explicit CaptureFile(const std::string& tag);
    ~CaptureFile();
    // Everything written so far.
    std::string Text();
};

// The text with every CR LF read as LF.
std::string WithUnixLineEnds(const std::string& text);

// Result of one run of the built korvella-cli.
struct ProgramRun
{
    int exitCode; // -1 when the program could not be started or did not exit normally
    std::string out;
    std::string err;
};

// Runs korvella-cli with the arguments (no shell involved), stdin empty, stdout and stderr
// captured in scratch files named after tag.
ProgramRun RunProgram(const std::vector<std::string>& arguments, const std::string& tag);
// The same for another program, given by its full path.
ProgramRun RunCommand(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& tag);
// The built korvella-cli, as this platform's file functions take it.
std::string CliProgramPath();

// The folder of the golden files, usable by fopen on this platform.
std::string GoldenPath(const std::string& name);

// True when the golden files are to be rewritten (KORVELLA_UPDATE_GOLDEN=1, by update_golden.sh).
bool UpdatingGolden();

// Makes a folder; true when it exists afterwards.
bool MakeFolder(const std::string& path);
// Removes a file if present.
void RemoveFile(const std::string& path);
bool FileExists(const std::string& path);

// A small mesh with a material library, two named groups and materials, one quad and a
// normal stored twice: 6 vertices, 4 texture coordinates, 3 normals, 3 facets.
extern const char boxObjText[];
// Its thirteen statistics lines at scale 1, each ending with a line end.
extern const char boxStatisticsText[];
