#pragma once

#include "gis/workspace.h"

namespace framora {

// What a merge copied.
struct MergeCount {
  int datasets = 0;
  long long features = 0;
};

// Copies every feature dataset of source into target: the dataset with its spatial
// reference and domain, each class with its kind, its features and, for texts, the
// reference scale. A dataset that target already holds is refused with FramoraError before
// anything of it is written: the parts of one job never share a sheet, so a name met twice
// means the inputs do not belong together.
MergeCount CopyFeatureDatasets(Workspace& source, Workspace& target);

}  // namespace framora
