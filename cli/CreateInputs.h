// The FILESPECs of `zorellz create` as the one request the engine takes.
// One SPEC goes as it is: a mask ('data/*.DAT'), /F=LISTFILE, or a folder,
// which means all its files ('data' as 'data/*').  Several SPECs, as a
// shell gives them after expanding a glob, become one list file: each
// file is one input, a list file adds its lines, and a folder or a mask
// adds the files it matches when no --recurse asks for sub-folders (the
// archive is then flat, as a list file makes it).  A file named twice under
// one name is taken once.
#pragma once

#include <string>
#include <vector>

#include "zorellz/engine/ZrlTypes.h"

namespace zorellz::cli {

class TWorkFolder;

// The FileSpecs for the engine; a list file, when one is needed, is made in
// `work`.  A SPEC that names nothing fails the command (status 1); folders
// or masks among several SPECs with recursion are a usage error (status 2).
std::string EngineFileSpecs(const std::vector<std::string>& specs, TLZRecurse recurse,
                            TWorkFolder& work);

}  // namespace zorellz::cli
