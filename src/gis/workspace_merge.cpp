#include "gis/workspace_merge.h"

#include "gis/feature_class.h"
#include "gis/feature_dataset.h"
#include "gis/text_class.h"
#include "util/framora_error.h"

namespace framora {

namespace {

long long CopyFeatures(OGRLayer& from, OGRLayer& to) {
  long long copied = 0;
  from.SetAttributeFilter(nullptr);
  from.ResetReading();
  for (auto& feature : from) {
    OGRFeature copy(to.GetLayerDefn());
    copy.SetFrom(feature.get(), TRUE);
    copy.SetFID(OGRNullFID);
    if (const OGRGeometry* shape = feature->GetGeometryRef()) copy.SetGeometryDirectly(ConformToClass(*shape, to).release());
    CPLErrorReset();
    if (to.CreateFeature(&copy) != OGRERR_NONE) throw FramoraError(SaveFailureText(to));
    ++copied;
  }
  return copied;
}

}  // namespace

MergeCount CopyFeatureDatasets(Workspace& source, Workspace& target) {
  MergeCount count;
  for (const std::string& name : FeatureDatasetNames(source)) {
    const std::vector<std::string> members = FeatureDatasetMembers(source, name);
    if (members.empty()) continue;  // what a failed sheet left: nothing to carry over
    if (FeatureDatasetExists(target, name))
      throw FramoraError("图幅" + name.substr(name.rfind('y', 0) == 0 ? 1 : 0) + "在" + source.path() + "和合并结果中都有，不能合并");
    const OGRSpatialReference* spatialReference = nullptr;
    for (const std::string& member : members)
      if (OGRLayer* layer = OpenFeatureClass(source, member); layer != nullptr && layer->GetSpatialRef() != nullptr) {
        spatialReference = layer->GetSpatialRef();
        break;
      }
    std::optional<FeatureDataset> dataset =
        CreateFeatureDataset(target, name, spatialReference, StoredSpatialDomain(source, name));
    if (!dataset) throw FramoraError("创立目录" + name + "失败");
    target.beginBatch();
    try {
      for (const std::string& member : members) {
        OGRLayer* from = OpenFeatureClass(source, member);
        if (from == nullptr) throw FramoraError("找不到要素类" + member);
        OGRLayer* to = IsTextClass(*from)
                           ? CreateAnnotationClass(target, member, &*dataset, nullptr,
                                                   StoredReferenceScale(source, member))
                           : CreateFeatureClass(*dataset, member, MakeFieldTemplate(from->GetGeomType(), 1000));
        count.features += CopyFeatures(*from, *to);
      }
      target.endBatch();
    } catch (...) {
      target.endBatch();
      DeleteFeatureDataset(target, name);
      throw;
    }
    ++count.datasets;
  }
  return count;
}

}  // namespace framora
