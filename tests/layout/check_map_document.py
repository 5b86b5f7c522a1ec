"""Opens a map document written by Framora with QGIS, headless, and checks what a user
would meet: every layer valid, the print layout with its page and its two maps.

usage: check_map_document.py project.qgs layout width height scale [xmin ymin xmax ymax]
Width and height may be "-" for whatever page the document has. Both maps fill the page at
the scale; without the extent it is not checked. Exit code 0 when everything holds; the
reasons otherwise on stdout.
"""
import os
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (QgsApplication, QgsLayoutItemMap, QgsProject,  # noqa: E402
                       QgsRasterLayer, QgsUnitTypes, QgsVectorLayer)


def main():
    path, layout_name = sys.argv[1], sys.argv[2]
    width, height, scale = (None if v == "-" else float(v) for v in sys.argv[3:6])
    extent = [float(v) for v in sys.argv[6:10]] if len(sys.argv) >= 10 else None
    QgsApplication.setPrefixPath("/usr", True)
    app = QgsApplication([], False)
    app.initQgis()
    problems = []
    project = QgsProject.instance()
    if not project.read(path):
        problems.append("project not read: " + project.error())
    if not project.crs().isValid():
        problems.append("no project coordinate system")
    layers = list(project.mapLayers().values())
    if len(layers) < 3:
        problems.append("only %d layers" % len(layers))
    for layer in layers:
        if not layer.isValid():
            problems.append("invalid layer %s (%s)" % (layer.name(), layer.source()))
        elif isinstance(layer, QgsVectorLayer) and layer.featureCount() == 0 and layer.name()[:2] in ("L_", "a_"):
            problems.append("no features in %s" % layer.name())
    for layer in layers:
        if isinstance(layer, QgsRasterLayer) and layer.isValid() and layer.renderer() is None:
            problems.append("image layer %s without a renderer" % layer.name())
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
        width = page.width() if width is None else width
        height = page.height() if height is None else height
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
            size = item.sizeWithUnits()
            if abs(size.width() - page.width()) > 0.01 or abs(size.height() - page.height()) > 0.01:
                problems.append("%s is %s x %s mm on a page of %s x %s" % (map_id, size.width(), size.height(),
                                                                          page.width(), page.height()))
            e = item.extent()
            if extent is not None and max(abs(e.xMinimum() - extent[0]), abs(e.yMinimum() - extent[1]),
                                          abs(e.xMaximum() - extent[2]), abs(e.yMaximum() - extent[3])) > 1e-6:
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
