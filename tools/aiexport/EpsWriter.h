// Self-contained EPS files: an exported document with the procedure sets it names put in.
#pragma once

#include <functional>
#include <string>

namespace eps {

// The directory of procedure sets: `option` (--procsets) when given, else
// $AIEXPORT_PROCSETS when set, else share/aiexport/procsets of this program's
// build tree or installed prefix. False with a message when there is none.
bool FindProcsets(const std::string& option, std::string& directory, std::string& error);

// Whether the file at `path` begins as a PostScript document does.
bool IsDocument(const std::string& path);

// Writes `output` as an EPS file made of the document `source` and returns the
// tool's exit status: 0, 1 when `output` cannot be written, 2 when the document
// cannot be made self-contained (reported on standard error, with `shown` as
// its name). `output` is written as every file of ours is (platform/Platform.h):
// whole or not at all, through a symbolic link.
int WriteEps(const std::string& source, const std::string& shown, const std::string& output,
             const std::string& procsets);

// Has `exportTo` write the module's document to a private path with the file
// name of `output`, then makes that document the EPS file `output`. The document
// loses its name as soon as it is complete, and should the tool be killed before,
// the private directory is removed all the same. Returns exportTo's status, or
// WriteEps's when that fails.
int ExportEps(const std::string& output, const std::string& procsets,
              const std::function<int(const std::string& target)>& exportTo);

}  // namespace eps
