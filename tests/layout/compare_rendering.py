"""Prints sheets of the sample with framora-cli (a plane sheet, the same in 黑体, 楷体 and 仿宋,
a geographic sheet, and polygon frames over a two-part and a holed township, all at 300 dpi),
renders each written map document with QGIS, headless, and compares QGIS's page with
Framora's picture of the same sheet:

  labels   every corner and km label (and the scale bar's figures): the ink boxes agree
           within 0.3 mm at 300 dpi;
  colours  the imagery under the tinted townships at sampled ground points, against each
           other and against the imagery and the category colours themselves;
  off      layers switched off in the project (one alone, one in a group that is off) are
           absent from both and listed unchecked;
  rules    a rule-based layer over the roads (one rule and an else rule) shows each rule's
           colour along its roads in both;
  parts    a polygon frame over a two-part township shows both parts in both, and a
           township's hole stays empty;
  user labels  the project's own labels have ink at QGIS's label places; skipped, saying so,
           while Framora's picture has no ink there.

usage: compare_rendering.py FRAMORA_CLI SAMPLE_DIR WORK_DIR
Exit code 0 when everything holds, 77 when SciPy is missing; the failures otherwise on stdout.
FRAMORA_COMPARE_VERBOSE=1 prints every label's differences.
"""
import os
import re
import shutil
import subprocess
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

import numpy as np  # noqa: E402
from osgeo import gdal, ogr, osr  # noqa: E402
from qgis.core import (QgsApplication, QgsLayoutExporter, QgsLayoutItemMap, QgsProject,  # noqa: E402
                       QgsRasterLayer, QgsVectorLayer)
from qgis.PyQt.QtCore import QRect, QSize  # noqa: E402
from qgis.PyQt.QtGui import QImage  # noqa: E402

gdal.UseExceptions()

SHEET = "J50G011041"
DPI = 300
LABEL_TOLERANCE_MM = 0.3
COLOUR_TOLERANCE = 12        # per channel, a window's mean against the expected colour
BETWEEN_TOLERANCE = 12       # per channel, Framora's window against QGIS's
MEAN_BETWEEN_TOLERANCE = 3   # the same over every point
MAGENTA = (255, 0, 255)
RULE_VALUE = "快速路"        # roads of this grade take the rule's colour, the others the else rule's
RULE_COLOUR = (0, 255, 255)
ELSE_COLOUR = (0, 0, 255)

failures = []
skipped = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)
    return condition


# ---------------------------------------------------------------- the project and the prints

def test_project(sample, work):
    """The sample with two more layers the user switched off, both in loud magenta: one alone,
    one inside a group that is off."""
    folder = os.path.join(work, "sample")
    shutil.copytree(sample, folder)
    with open(os.path.join(folder, "sample.qgs"), encoding="utf-8") as f:
        text = f.read()
    tree = ('<layer-tree-layer id="off_alone" name="关闭的图层" providerKey="ogr" '
            'source="./sample.gpkg|layername=乡镇" checked="Qt::Unchecked" expanded="1"/>\n'
            '    <layer-tree-group name="关闭的组" checked="Qt::Unchecked" expanded="1">'
            '<layer-tree-layer id="off_in_group" name="组里的图层" providerKey="ogr" '
            'source="./sample.gpkg|layername=道路" checked="Qt::Checked" expanded="1"/></layer-tree-group>\n    ')
    text = text.replace('<layer-tree-layer id="roads"', tree + '<layer-tree-layer id="roads"', 1)
    # A rule-based layer on top of all.
    text = text.replace('<layer-tree-layer id="roads"', '<layer-tree-layer id="roads_by_rule" name="道路规则" '
                        'providerKey="ogr" source="./sample.gpkg|layername=道路" checked="Qt::Checked" expanded="1"/>\n'
                        '    <layer-tree-layer id="roads"', 1)

    def layer(layer_id, name, source, geometry, symbol):
        return ('    <maplayer type="vector" geometry="%s"><id>%s</id><datasource>./sample.gpkg|layername=%s'
                '</datasource><layername>%s</layername><srs><spatialrefsys><authid>EPSG:4527</authid>'
                '</spatialrefsys></srs><provider encoding="UTF-8">ogr</provider><renderer-v2 type="singleSymbol" '
                'symbollevels="0" enableorderby="0" forceraster="0"><symbols>%s</symbols></renderer-v2>'
                '</maplayer>\n' % (geometry, layer_id, source, name, symbol))
    fill = ('<symbol name="0" type="fill" alpha="1" clip_to_extent="1" force_rhr="0"><layer class="SimpleFill" '
            'enabled="1" locked="0" pass="0"><Option type="Map"><Option name="color" value="255,0,255,255" '
            'type="QString"/><Option name="style" value="solid" type="QString"/></Option></layer></symbol>')
    line = ('<symbol name="0" type="line" alpha="1" clip_to_extent="1" force_rhr="0"><layer class="SimpleLine" '
            'enabled="1" locked="0" pass="0"><Option type="Map"><Option name="line_color" value="255,0,255,255" '
            'type="QString"/><Option name="line_width" value="3" type="QString"/></Option></layer></symbol>')
    text = text.replace("<projectlayers>\n", "<projectlayers>\n" + layer("off_alone", "关闭的图层", "乡镇", "Polygon", fill)
                        + layer("off_in_group", "组里的图层", "道路", "Line", line), 1)
    def rule_line(name, rgb):
        return ('<symbol name="%s" type="line" alpha="1" clip_to_extent="1" force_rhr="0"><layer class="SimpleLine" '
                'enabled="1" locked="0" pass="0"><Option type="Map"><Option name="line_color" value="%d,%d,%d,255" '
                'type="QString"/><Option name="line_width" value="1.5" type="QString"/><Option name="line_width_unit" '
                'value="MM" type="QString"/></Option></layer></symbol>' % ((name,) + rgb))
    rules = ('    <maplayer type="vector" geometry="Line"><id>roads_by_rule</id><datasource>./sample.gpkg|layername=道路'
             '</datasource><layername>道路规则</layername><srs><spatialrefsys><authid>EPSG:4527</authid>'
             '</spatialrefsys></srs><provider encoding="UTF-8">ogr</provider><renderer-v2 type="RuleRenderer" '
             'symbollevels="0" enableorderby="0" forceraster="0"><rules key="root">'
             '<rule key="fast" filter="&quot;DJ&quot; = \'%s\'" symbol="0" label="fast"/>'
             '<rule key="other" filter="ELSE" symbol="1" label="other"/></rules><symbols>%s%s</symbols>'
             '</renderer-v2></maplayer>\n' % (RULE_VALUE, rule_line("0", RULE_COLOUR), rule_line("1", ELSE_COLOUR)))
    text = text.replace("<projectlayers>\n", "<projectlayers>\n" + rules, 1)
    path = os.path.join(folder, "test.qgs")
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return folder, path


def print_sheets(cli, project, out, mode, layer, where, dpi, picture, extra=()):
    command = [cli, "print", "--mode", mode, "--doc", project, "--layer", layer, "--where", where,
               "--out", os.path.join(out, "frames.gpkg"), "--folder", out, "--picture", picture,
               "--dpi", str(dpi), "--overwrite"] + list(extra)
    run = subprocess.run(command, capture_output=True, text=True)
    check(run.returncode == 0, "framora-cli %s failed: %s%s" % (mode, run.stdout[-2000:], run.stderr[-2000:]))


# ---------------------------------------------------------------- pictures

class Framora:
    """Framora's georeferenced picture, read a window at a time."""

    def __init__(self, path):
        self.data = gdal.Open(path)
        self.width, self.height = self.data.RasterXSize, self.data.RasterYSize
        self.transform = self.data.GetGeoTransform()
        self.srs = self.data.GetSpatialRef()
        self.srs.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)

    def pixel(self, x, y):
        """The pixel of a point in the picture's coordinates."""
        t = self.transform
        return (x - t[0]) / t[1], (y - t[3]) / t[5]

    def ground_pixel(self, x, y, srs):
        """The pixel of a point in the coordinates srs."""
        x, y, _ = osr.CoordinateTransformation(srs, self.srs).TransformPoint(x, y)
        return self.pixel(x, y)

    def pixel_ground(self, columns, rows, srs):
        """Pixel centres (arrays) on the ground in the coordinates srs."""
        t = self.transform
        xs, ys = t[0] + (columns + 0.5) * t[1], t[3] + (rows + 0.5) * t[5]
        points = osr.CoordinateTransformation(self.srs, srs).TransformPoints(np.dstack([xs.ravel(), ys.ravel()])[0])
        points = np.array(points)
        return points[:, 0].reshape(xs.shape), points[:, 1].reshape(ys.shape)

    def window(self, left, top, width, height):
        left, top = max(0, left), max(0, top)
        width, height = min(width, self.width - left), min(height, self.height - top)
        return np.dstack([self.data.GetRasterBand(b).ReadAsArray(left, top, width, height) for b in (1, 2, 3)])


class QgisPage:
    """QGIS's rendering of the layout's page on Framora's pixel grid."""

    def __init__(self, layout, width, height):
        page = layout.pageCollection().page(0).pageSize()
        self.width, self.height = width, height
        dpi = width / (page.width() / 25.4)
        self.image = QgsLayoutExporter(layout).renderPageToImage(0, QSize(width, height), dpi)
        self.image = self.image.convertToFormat(QImage.Format_RGB888)

    def window(self, left, top, width, height):
        part = self.image.copy(QRect(left, top, width, height))
        pointer = part.constBits()
        pointer.setsize(part.bytesPerLine() * part.height())
        rows = np.frombuffer(pointer, np.uint8).reshape(part.height(), part.bytesPerLine())
        return rows[:, :part.width() * 3].reshape(part.height(), part.width(), 3).copy()


def render(layout, width, height, sheet_labels=True, user_labels=False):
    """QGIS's page with the sheet's texts and the project's own labels switched as asked."""
    for layer in QgsProject.instance().mapLayers().values():
        if isinstance(layer, QgsVectorLayer) and layer.labeling() is not None:
            layer.setLabelsEnabled(sheet_labels if layer.name().startswith("a_") else user_labels)
    return QgisPage(layout, width, height)


def luminance(pixels):
    return pixels[..., 0] * 0.299 + pixels[..., 1] * 0.587 + pixels[..., 2] * 0.114


def magenta_count(pixels):
    return int(((pixels[..., 0] > 200) & (pixels[..., 1] < 90) & (pixels[..., 2] > 200)).sum())


def whole(picture, band_rows=512):
    """The whole picture a band of rows at a time."""
    for top in range(0, picture.height, band_rows):
        yield picture.window(0, top, picture.width, min(band_rows, picture.height - top))


# ---------------------------------------------------------------- label ink

def model_box(text, size_pt, h_align, v_align, spacing, scale):
    """The text's em boxes together on paper, mm from its anchor (x right, y down)."""
    em = size_pt * 25.4 / 72 * scale
    stretch = 1 + spacing / 100
    lines = re.split(r"\r\n|\n|\r", text)
    width = 0
    for line in lines:
        cells = [(0.5 if ord(c) < 0x80 else 1) * em for c in line]
        if cells:
            width = max(width, sum(cells) * stretch - cells[-1] * (stretch - 1))
    height = em * len(lines)
    left = 0 if h_align == 0 else -width / 2 if h_align == 1 else -width
    top = 0 if v_align == 0 else -height / 2 if v_align == 1 else -height
    return left, top, width, height


def ink_box(mask):
    rows, columns = np.nonzero(mask)
    if rows.size == 0:
        return None
    return columns.min(), rows.min(), columns.max() + 1, rows.max() + 1


def own_ink_box(mask, box):
    """The ink box of the strokes that reach into the text's em box: a neighbour's glyphs
    stay in their own."""
    from scipy import ndimage
    strokes, count = ndimage.label(mask)
    own = np.zeros_like(mask)
    for index, where in enumerate(ndimage.find_objects(strokes), start=1):
        rows, columns = where
        if columns.start < box[2] and columns.stop > box[0] and rows.start < box[3] and rows.stop > box[1]:
            own |= strokes == index
    return ink_box(own)


def check_labels(framora, texts, scale, page_with, page_without, per_mm, minimum):
    from scipy import ndimage
    checked = 0
    for text, size, h_align, v_align, spacing, x, y in texts:
        if not re.fullmatch(r"[0-9°′″m:]+", text.strip()):
            continue
        left, top, width, height = model_box(text, size, h_align, v_align, spacing, scale)
        px, py = framora.pixel(x, y)
        margin = 0.8  # mm around the em box
        window = (int(px + (left - margin) * per_mm), int(py + (top - margin) * per_mm),
                  int((width + 2 * margin) * per_mm) + 1, int((height + 2 * margin) * per_mm) + 1)
        # The em box inside the window, a pixel in from its edges.
        box = (margin * per_mm + 1, margin * per_mm + 1, (margin + width) * per_mm - 1, (margin + height) * per_mm - 1)
        # Lines drawn without the texts are not the text's ink.
        background = ndimage.binary_dilation(luminance(page_without.window(*window)) < 200, iterations=1)
        ours_box = own_ink_box((luminance(framora.window(*window)) < 128) & ~background, box)
        theirs_box = own_ink_box((luminance(page_with.window(*window)) < 128) & ~background, box)
        name = "%r at %.1f, %.1f" % (text, x, y)
        if not check(ours_box is not None and theirs_box is not None,
                     "label %s: ink in Framora's picture %s, in QGIS's %s" % (name, ours_box is not None,
                                                                              theirs_box is not None)):
            continue
        worst = max(abs(a - b) for a, b in zip(ours_box, theirs_box)) / per_mm
        if os.environ.get("FRAMORA_COMPARE_VERBOSE"):
            print("label %-12s size %g align %d,%d  left %+d top %+d right %+d bottom %+d px" %
                  (text, size, h_align, v_align, *(b - a for a, b in zip(ours_box, theirs_box))))
        check(worst <= LABEL_TOLERANCE_MM, "label %s: ink boxes %s and %s px apart by %.2f mm" %
              (name, ours_box, theirs_box, worst))
        checked += 1
    check(checked >= minimum, "only %d corner and km labels compared" % checked)
    print("labels: %d compared" % checked)


# ---------------------------------------------------------------- colours

class Imagery:
    """The imagery's colours as its layer in the project shows them."""

    def __init__(self, layer):
        self.data = gdal.Open(layer.source())
        self.transform = self.data.GetGeoTransform()
        renderer = layer.renderer()
        self.stretches = [(e.minimumValue(), e.maximumValue()) for e in
                          (renderer.redContrastEnhancement(), renderer.greenContrastEnhancement(),
                           renderer.blueContrastEnhancement())]

    def colours(self, xs, ys):
        """Bilinear colours at ground points (arrays), as the layer's stretch gives them."""
        t = self.transform
        columns = (xs - t[0]) / t[1] - 0.5
        rows = (ys - t[3]) / t[5] - 0.5
        c0, r0 = int(np.floor(columns.min())), int(np.floor(rows.min()))
        c1, r1 = int(np.floor(columns.max())) + 2, int(np.floor(rows.max())) + 2
        block = np.dstack([self.data.GetRasterBand(b).ReadAsArray(c0, r0, c1 - c0, r1 - r0) for b in (1, 2, 3)])
        block = block.astype(float)
        fc, fr = columns - c0, rows - r0
        ic, ir = np.floor(fc).astype(int), np.floor(fr).astype(int)
        tc, tr = (fc - ic)[..., None], (fr - ir)[..., None]
        value = (block[ir, ic] * (1 - tc) * (1 - tr) + block[ir, ic + 1] * tc * (1 - tr)
                 + block[ir + 1, ic] * (1 - tc) * tr + block[ir + 1, ic + 1] * tc * tr)
        for band, (low, high) in enumerate(self.stretches):
            value[..., band] = np.clip((value[..., band] - low) / (high - low) * 255, 0, 255)
        return value


def township_tints(layer):
    """Category value to (rgb, alpha) of the townships' categorised fills."""
    tints = {}
    for category in layer.renderer().categories():
        colour = category.symbol().color()
        tints[category.value()] = (np.array([colour.red(), colour.green(), colour.blue()], float), colour.alphaF())
    return tints


def check_colours(framora, page, sample_gpkg, imagery, tints, lines_layer, sheet_shape):
    data = ogr.Open(sample_gpkg)
    townships = [(f.GetField("XZQMC"), f.GetGeometryRef().Clone()) for f in data.GetLayerByName("乡镇")]
    roads = [f.GetGeometryRef().Clone() for f in data.GetLayerByName("道路")]
    plane = data.GetLayerByName("乡镇").GetSpatialRef().Clone()
    plane.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    frame_lines = []
    for feature in lines_layer:
        line = feature.GetGeometryRef().Clone()
        line.AssignSpatialReference(framora.srs)
        line.TransformTo(plane)
        frame_lines.append(line)
    inner = sheet_shape.Buffer(-60)
    xmin, xmax, ymin, ymax = inner.GetEnvelope()
    half = 4  # a window of 9 x 9 pixels, 0.76 mm
    compared = tinted = 0
    worst = total = 0
    for i in range(14):
        for j in range(12):
            x = xmin + (i + 0.5) * (xmax - xmin) / 14
            y = ymin + (j + 0.5) * (ymax - ymin) / 12
            point = ogr.CreateGeometryFromWkt("POINT (%r %r)" % (x, y))
            if not inner.Contains(point):
                continue
            # Keep away from lines and boundaries, whose edges the two smooth differently.
            if any(g.Distance(point) < 25 for g in roads) or any(g.Distance(point) < 12 for g in frame_lines):
                continue
            if any(g.Boundary().Distance(point) < 15 for _, g in townships):
                continue
            px, py = framora.ground_pixel(x, y, plane)
            left, top = int(round(px)) - half, int(round(py)) - half
            ours = framora.window(left, top, 2 * half + 1, 2 * half + 1).reshape(-1, 3).astype(float)
            theirs = page.window(left, top, 2 * half + 1, 2 * half + 1).reshape(-1, 3).astype(float)
            columns, rows = np.meshgrid(np.arange(left, left + 2 * half + 1), np.arange(top, top + 2 * half + 1))
            xs, ys = framora.pixel_ground(columns.astype(float), rows.astype(float), plane)
            expected = imagery.colours(xs, ys).reshape(-1, 3)
            for name, shape in townships:
                if shape.Contains(point) and name in tints:
                    rgb, alpha = tints[name]
                    expected = expected * (1 - alpha) + rgb * alpha
                    tinted += 1
                    break
            ours, theirs, expected = ours.mean(0), theirs.mean(0), expected.mean(0)
            where = "at %.0f, %.0f" % (x, y)
            check(np.abs(ours - expected).max() <= COLOUR_TOLERANCE,
                  "Framora's colour %s is %s, the imagery and tint give %s" % (where, ours.round(), expected.round()))
            check(np.abs(theirs - expected).max() <= COLOUR_TOLERANCE,
                  "QGIS's colour %s is %s, the imagery and tint give %s" % (where, theirs.round(), expected.round()))
            check(np.abs(ours - theirs).max() <= BETWEEN_TOLERANCE,
                  "colours %s: Framora %s, QGIS %s" % (where, ours.round(), theirs.round()))
            worst = max(worst, np.abs(ours - theirs).max())
            total += np.abs(ours - theirs).mean()
            compared += 1
    check(compared >= 40, "only %d ground points compared" % compared)
    check(tinted >= 20, "only %d ground points inside tinted townships" % tinted)
    mean = total / max(compared, 1)
    check(mean <= MEAN_BETWEEN_TOLERANCE, "colours differ by %.1f on average" % mean)
    print("colours: %d ground points (%d tinted), difference %.1f on average, %.1f at most" % (compared, tinted, mean,
                                                                                          worst))


# ---------------------------------------------------------------- the checks per sheet

def open_project(path):
    project = QgsProject.instance()
    project.clear()
    if not check(project.read(path), "QGIS cannot read %s: %s" % (path, project.error())):
        return None
    layouts = project.layoutManager().layouts()
    if not check(len(layouts) == 1, "%s has %d layouts" % (path, len(layouts))):
        return None
    return layouts[0]


def check_switched_off(project_path, pictures):
    root = QgsProject.instance().layerTreeRoot()
    for name in ("关闭的图层", "组里的图层"):
        layers = QgsProject.instance().mapLayersByName(name)
        if check(len(layers) == 1, "%s: the switched-off layer %s is not in the map document" % (project_path, name)):
            node = root.findLayer(layers[0].id())
            check(node is not None and not node.isVisible(), "%s: %s is listed as shown" % (project_path, name))
    for label, picture in pictures:
        count = sum(magenta_count(band) for band in whole(picture))
        check(count == 0, "%s: %d pixels of switched-off layers in %s" % (project_path, count, label))


def compare_sheet_labels(folder, sheet, layout, framora, minimum):
    """The sheet's number labels in both; QGIS's rendering with them."""
    page = layout.pageCollection().page(0).pageSize()
    maps = {item.id(): item for item in layout.items() if isinstance(item, QgsLayoutItemMap)}
    plain = render(layout, framora.width, framora.height, sheet_labels=False)
    labelled = render(layout, framora.width, framora.height, sheet_labels=True)
    data = ogr.Open(os.path.join(folder, "frames.gpkg"))
    texts_class = data.GetLayerByName("a_" + sheet)
    reference = float(texts_class.GetMetadataItem("FRAMORA_REFERENCE_SCALE") or maps["Layers"].scale())
    texts = [(f.GetField("TextString") or "", f.GetField("FontSize"), f.GetField("HorizontalAlignment"),
              f.GetField("VerticalAlignment"), f.GetField("CharacterSpacing") or 0,
              f.GetGeometryRef().GetX(), f.GetGeometryRef().GetY()) for f in texts_class]
    check_labels(framora, texts, reference / maps["outer Map"].scale(), labelled, plain,
                 framora.width / page.width(), minimum)
    return labelled


def check_standard_sheet(work, folder, user_labels=True):
    """The sheet's labels, switched-off layers and colours; its user labels when asked."""
    picture_path = os.path.join(folder, SHEET + ".TIF")
    layout = open_project(os.path.join(folder, SHEET + ".qgs"))
    if layout is None or not check(os.path.exists(picture_path), "no picture " + picture_path):
        return
    framora = Framora(picture_path)
    page = layout.pageCollection().page(0).pageSize()
    per_mm = framora.width / page.width()
    check(abs(framora.height / page.height() - per_mm) < 0.01, "picture and page differ in shape")
    project = QgsProject.instance()

    labelled = compare_sheet_labels(folder, SHEET, layout, framora, 20)
    check_switched_off(SHEET, [("Framora's picture", framora), ("QGIS's rendering", labelled)])
    data = ogr.Open(os.path.join(folder, "frames.gpkg"))

    sample = ogr.Open(os.path.join(work, "sample", "sample.gpkg"))
    sheets = sample.GetLayerByName("图幅")
    sheets.SetAttributeFilter("TFH = '%s'" % SHEET)
    sheet = sheets.GetNextFeature()
    sheet_shape = sheet.GetGeometryRef().Clone()
    imagery = Imagery([l for l in project.mapLayers().values() if isinstance(l, QgsRasterLayer)][0])
    tints = township_tints(project.mapLayersByName("乡镇")[0])
    check_colours(framora, labelled, os.path.join(work, "sample", "sample.gpkg"), imagery, tints,
                  data.GetLayerByName("L_" + SHEET), sheet_shape)
    check_rule_colours(framora, labelled, os.path.join(work, "sample", "sample.gpkg"), sheet_shape)
    if user_labels:
        check_user_labels(framora, layout, labelled)


def check_rule_colours(framora, page, sample_gpkg, sheet_shape):
    """Points along the roads inside the sheet show the colour of the rule their grade meets."""
    data = ogr.Open(sample_gpkg)
    roads = data.GetLayerByName("道路")
    plane = roads.GetSpatialRef().Clone()
    plane.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    inner = sheet_shape.Buffer(-60)
    colours = {"rule": np.array(RULE_COLOUR, float), "else": np.array(ELSE_COLOUR, float)}
    counts = {}
    for road in roads:
        which = "rule" if road.GetField("DJ") == RULE_VALUE else "else"
        line = road.GetGeometryRef().Intersection(inner)
        if line is None or line.IsEmpty():
            continue
        parts = [line.GetGeometryRef(i) for i in range(line.GetGeometryCount())] if line.GetGeometryCount() else [line]
        for part in parts:
            length = part.Length()
            for step in range(int(length // 40)):
                point = part.Value(20 + step * 40)
                px, py = framora.ground_pixel(point.GetX(), point.GetY(), plane)
                for label, picture in (("Framora", framora), ("QGIS", page)):
                    pixel = picture.window(int(round(px)) - 1, int(round(py)) - 1, 3, 3).reshape(-1, 3).mean(0)
                    hits = counts.setdefault((which, label), [0, 0])
                    hits[0] += np.abs(pixel - colours[which]).max() <= 40
                    hits[1] += 1
    for (which, label), (hits, total) in sorted(counts.items()):
        # Labels along the roads cover a few points.
        check(total >= 10 and hits >= 0.8 * total, "rules: %s shows the %s rule's colour at %d of %d road points" %
              (label, which, hits, total))
    check(len(counts) == 4, "rules: roads of both rules should cross the sheet, found %s" % sorted(counts))
    print("rules: %s" % ", ".join("%s %s %d/%d" % (label, which, h, t) for (which, label), (h, t) in sorted(counts.items())))


def check_user_labels(framora, layout, without):
    """The project's own labels: QGIS's label ink against Framora's at the same places."""
    from scipy import ndimage
    with_labels = render(layout, framora.width, framora.height, sheet_labels=True, user_labels=True)
    step = 256
    regions = []
    for top in range(0, framora.height, step):
        rows = min(step, framora.height - top)
        difference = np.abs(with_labels.window(0, top, framora.width, rows).astype(int)
                            - without.window(0, top, framora.width, rows).astype(int)).max(2) > 60
        regions.append(difference)
    labels_mask = np.vstack(regions)
    grown = ndimage.binary_dilation(labels_mask, iterations=6)
    found, count = ndimage.label(grown)
    boxes = ndimage.find_objects(found)
    if count == 0:
        skipped.append("user labels: QGIS draws none")
        return
    inked = 0
    for box in boxes:
        top, bottom, left, right = box[0].start, box[0].stop, box[1].start, box[1].stop
        ours = framora.window(left, top, right - left, bottom - top).astype(int)
        plain = without.window(left, top, right - left, bottom - top).astype(int)
        if (np.abs(ours - plain).max(2) > 60).sum() > 0.2 * labels_mask[top:bottom, left:right].sum():
            inked += 1
    if inked == 0:
        skipped.append("user labels: Framora's picture has no ink at QGIS's %d label places yet" % count)
        return
    check(inked == count, "user labels: Framora's picture has ink at %d of QGIS's %d label places" % (inked, count))
    print("user labels: ink at %d of %d label places" % (inked, count))


def check_polygon_sheets(folder):
    sheets = {"金盏乡": "two parts", "孙河乡": "a hole"}
    sample = ogr.Open(os.path.join(folder, "..", "sample", "sample.gpkg"))
    townships = sample.GetLayerByName("乡镇")
    for name, what in sheets.items():
        layout = open_project(os.path.join(folder, name + ".qgs"))
        picture_path = os.path.join(folder, name + ".TIF")
        if layout is None or not check(os.path.exists(picture_path), "no picture " + picture_path):
            continue
        framora = Framora(picture_path)
        qgis = compare_sheet_labels(folder, name, layout, framora, 4)
        townships.SetAttributeFilter("XZQMC = '%s'" % name)
        township = townships.GetNextFeature()
        shape = township.GetGeometryRef().Clone()
        check_switched_off(name, [("Framora's picture", framora), ("QGIS's rendering", qgis)])

        def shown(polygon, inside):
            """The share of grid points inside polygon (shrunk) that show the map (or nothing)."""
            area = polygon.Buffer(-40)
            xmin, xmax, ymin, ymax = area.GetEnvelope()
            counts = {"Framora": [0, 0], "QGIS": [0, 0]}
            for i in range(25):
                for j in range(25):
                    x, y = xmin + (i + 0.5) * (xmax - xmin) / 25, ymin + (j + 0.5) * (ymax - ymin) / 25
                    if not area.Contains(ogr.CreateGeometryFromWkt("POINT (%r %r)" % (x, y))):
                        continue
                    px, py = framora.pixel(x, y)
                    for label, picture in (("Framora", framora), ("QGIS", qgis)):
                        pixel = picture.window(int(px), int(py), 1, 1)[0, 0].astype(int)
                        coloured = pixel.max() - pixel.min() > 12
                        counts[label][0] += coloured == inside
                        counts[label][1] += 1
            return {label: hits / max(total, 1) for label, (hits, total) in counts.items()}, counts["QGIS"][1]

        parts = [shape.GetGeometryRef(i) for i in range(shape.GetGeometryCount())]
        for index, part in enumerate(parts):
            shares, points = shown(part, True)
            for label, share in shares.items():
                check(points > 10 and share > 0.9, "%s (%s): part %d shows the map at %.0f%% of %d points in %s" %
                      (name, what, index + 1, share * 100, points, label))
            for ring in range(1, part.GetGeometryCount()):
                hole = ogr.Geometry(ogr.wkbPolygon)
                hole.AddGeometry(part.GetGeometryRef(ring))
                shares, points = shown(hole, False)
                for label, share in shares.items():
                    check(points > 10 and share > 0.9, "%s: its hole is empty at %.0f%% of %d points in %s" %
                          (name, share * 100, points, label))
        print("%s (%s): %d parts checked" % (name, what, len(parts)))


def main():
    cli, sample, work = sys.argv[1:4]
    try:
        import scipy.ndimage  # noqa: F401
    except ImportError:
        print("SKIPPED: SciPy is not installed")
        return 77
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    folder, project_path = test_project(sample, work)
    standard = os.path.join(work, "standard")
    print_sheets(cli, project_path, standard, "standard", "图幅", "TFH = '%s'" % SHEET, DPI, ".TIF",
                 ["--name", "[TFH]", "--set", "MainTitle=[TM]", "--set", "SubTitle1=[TFH]", "--set", "TitleField=TM",
                  "--set", "GridType=1", "--set", "ScaleBarOn=1"])
    faces = os.path.join(work, "faces")
    print_sheets(cli, project_path, faces, "standard", "图幅", "TFH = '%s'" % SHEET, DPI, ".TIF",
                 ["--name", "[TFH]", "--set", "GridType=1", "--set", "ScaleBarOn=1", "--set", "GridBigFont=黑体,6",
                  "--set", "GridSmallFont=黑体,6", "--set", "CornerFont=楷体,6", "--set", "ScaleBarFont=仿宋,8", "--set", "SideTitleFont=黑体,10", "--set", "LowerLeftFont=楷体,10"])
    geographic = os.path.join(work, "geographic")
    print_sheets(cli, project_path, geographic, "standard", "图幅经纬度", "TFH = '%s'" % SHEET, DPI, ".TIF",
                 ["--name", "[TFH]", "--set", "MainTitle=[TM]", "--set", "TitleField=TM", "--set", "GridType=1"])
    polygons = os.path.join(work, "polygon")
    print_sheets(cli, project_path, polygons, "polygon", "乡镇", "XZQMC IN ('金盏乡', '孙河乡')", DPI, ".TIF",
                 ["--name", "[XZQMC]", "--set", "GridType=1"])
    if failures:
        return 1

    QgsApplication.setPrefixPath("/usr", True)
    app = QgsApplication([], False)
    app.initQgis()
    check_standard_sheet(work, standard)
    check_standard_sheet(work, geographic, user_labels=False)
    check_standard_sheet(work, faces, user_labels=False)
    check_polygon_sheets(polygons)
    for reason in skipped:
        print("SKIPPED:", reason)
    print("%d failures" % len(failures))
    sys.stdout.flush()
    del app
    os._exit(1 if failures else 0)  # QGIS may crash while tearing down


if __name__ == "__main__":
    sys.exit(main())
