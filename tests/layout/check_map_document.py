"""Opens a map document written by Framora with QGIS, headless, and checks what a user
would meet: every layer valid, the print layout with its page and its two maps.

usage: check_map_document.py project.qgs layout width height scale xmin ymin xmax ymax
Exit code 0 when everything holds; the reasons otherwise on stdout.
"""
import os
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (QgsApplication, QgsLayoutItemMap, QgsProject,  # noqa: E402
                       QgsUnitTypes, QgsVectorLayer)


def main():
    path, layout_name = sys.argv[1], sys.argv[2]
    width, height, scale, xmin, ymin, xmax, ymax = (float(v) for v in sys.argv[3:10])
    QgsApplication.setPrefixPath("/usr", True)
    app = QgsApplication([], False)
    app.initQgis()
    problems = []
    project = QgsProject.instance()
    if not project.read(path):
        problems.append("project not read: " + project.error())
    layers = list(project.mapLayers().values())
    if len(layers) < 3:
        problems.append("only %d layers" % len(layers))
    for layer in layers:
        if not layer.isValid():
            problems.append("invalid layer %s (%s)" % (layer.name(), layer.source()))
        elif isinstance(layer, QgsVectorLayer) and layer.featureCount() == 0 and layer.name()[:2] in ("L_", "a_"):
            problems.append("no features in %s" % layer.name())
    lines = [l for l in layers if l.name().startswith("L_")]
    if not lines or lines[0].renderer().type() != "categorizedSymbol":
        problems.append("line layer without its categorised style")
    texts = [l for l in layers if l.name().startswith("a_")]
    if not texts or not texts[0].labelsEnabled():
        problems.append("text layer without labels")

    layout = project.layoutManager().layoutByName(layout_name)
    if layout is None:
        problems.append("no layout " + layout_name)
    else:
        page = layout.pageCollection().page(0).pageSize()
        if page.units() != QgsUnitTypes.LayoutMillimeters or abs(page.width() - width) > 1e-6 \
                or abs(page.height() - height) > 1e-6:
            problems.append("page %s x %s" % (page.width(), page.height()))
        for map_id in ("Layers", "outer Map"):
            item = layout.itemById(map_id)
            if not isinstance(item, QgsLayoutItemMap):
                problems.append("no map item " + map_id)
                continue
            if abs(item.scale() - scale) > scale * 1e-6:
                problems.append("%s at 1:%s" % (map_id, item.scale()))
            e = item.extent()
            if max(abs(e.xMinimum() - xmin), abs(e.yMinimum() - ymin), abs(e.xMaximum() - xmax),
                   abs(e.yMaximum() - ymax)) > 1e-6:
                problems.append("%s shows %s" % (map_id, e.toString()))
            if item.frameEnabled():
                problems.append(map_id + " has a border")
            if not item.layers():
                problems.append(map_id + " shows no layers")
    for problem in problems:
        print(problem)
    app.exitQgis()
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
