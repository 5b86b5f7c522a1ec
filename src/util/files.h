#pragma once

#include <string>

namespace framora {

// Deletes a folder with everything in it. Returns 0 when the folder is gone (a folder that
// does not exist counts as deleted, and so does a path that is not a folder, which is left
// alone), -1 when something could not be deleted; whatever could not be deleted stays.
// Never raises. Symbolic links are never followed: a link inside the tree is removed as a
// link, its target untouched, and a path that is itself a link to a folder loses only the link.
// Folders without write or search permission are opened up first, as the read-only
// attribute is cleared on Windows. The root folder is refused.
int DeleteFolderTree(const std::string& folder);

// The folder of the running executable, with a trailing "/"; empty if it cannot be told.
std::string ProgramFolder();

}  // namespace framora
