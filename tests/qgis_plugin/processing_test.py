"""Runs the Framora Processing algorithms through QGIS's Processing framework, headless, on
the sample data, and checks what they leave: datasets in the geodatabase, a map document and
a picture per sheet, selection and filters honoured, and a cancelled run that stops early.

usage: processing_test.py PLUGIN_PARENT_DIR SAMPLE_DIR WORK_DIR   (FRAMORA_CLI names the program)
Exit code 0 when everything holds; the failures otherwise on stdout.
"""
import os
import shutil
import sys

os.environ.setdefault('QT_QPA_PLATFORM', 'offscreen')

from osgeo import ogr  # noqa: E402
from qgis.core import (QgsApplication, QgsProcessingContext, QgsProcessingFeedback,  # noqa: E402
                       QgsProject, QgsVectorLayer)

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print('FAILED:', what)


def datasets(path):
    data = ogr.Open(path)
    if data is None:
        return set()
    return {data.GetLayer(i).GetName() for i in range(data.GetLayerCount())}


class CancelAfterFirstSheet(QgsProcessingFeedback):
    """Cancels as soon as the first sheet is reported done."""

    def __init__(self):
        super().__init__()
        self.progressChanged.connect(self.on_progress)

    def on_progress(self, percent):
        if percent > 0:
            self.cancel()


def main():
    plugin_parent, sample, work = sys.argv[1:4]
    QgsApplication.setPrefixPath('/usr', True)
    app = QgsApplication([], False)
    app.initQgis()
    sys.path[:0] = ['/usr/share/qgis/python/plugins', plugin_parent]
    from processing.core.Processing import Processing
    import processing
    Processing.initialize()
    from framora.plugin import FramoraPlugin
    plugin = FramoraPlugin()
    plugin.initProcessing()

    registry = QgsApplication.processingRegistry()
    for name in ('standardframes', 'polygonframes', 'batchprint'):
        check(registry.algorithmById('framora:' + name) is not None, 'algorithm framora:' + name)
    batch = registry.algorithmById('framora:batchprint')
    check(batch is not None and batch.parameterDefinition('SET_GridType') is not None,
          'frame settings offered as advanced parameters')

    shutil.rmtree(work, ignore_errors=True)
    shutil.copytree(sample, os.path.join(work, 'sample'))
    sample = os.path.join(work, 'sample')
    project = QgsProject.instance()
    check(project.read(os.path.join(sample, 'sample.qgs')), 'sample project read')
    sheets = project.mapLayersByName('图幅')[0]
    towns = project.mapLayersByName('乡镇')[0]
    context = QgsProcessingContext()
    context.setProject(project)

    # Standard sheets with a filter and a selection: only what both let through.
    sheets.setSubsetString("TFH LIKE 'J50G01%'")
    ids = sorted(f.id() for f in sheets.getFeatures() if f['TFH'] in ('J50G010040', 'J50G011041'))
    sheets.selectByIds(ids)
    out = os.path.join(work, 'standard.gpkg')
    result = processing.run('framora:standardframes', {
        'INPUT': sheets, 'SELECTED_ONLY': True, 'NAME_FIELD': 'TFH', 'OUTPUT': out, 'SET_GridType': '1',
        'SET_MainTitle': '[TM]', 'SET_TitleField': 'TM'}, context=context, feedback=QgsProcessingFeedback())
    names = datasets(out)
    check({'L_J50G010040', 'a_J50G011041'} <= names, 'selected standard sheets framed: %s' % sorted(names))
    check(not any(n.endswith('J50G012042') for n in names), 'unselected sheet left out')
    check(result.get('MADE') == 2, 'two sheets counted: %s' % result.get('MADE'))
    sheets.setSubsetString('')
    sheets.removeSelection()

    # Polygons from a layer that is not a file: the features travel as a copy.
    memory = QgsVectorLayer('MultiPolygon?crs=EPSG:4527&field=XZQMC:string', 'towns', 'memory')
    memory.dataProvider().addFeatures([f for f in towns.getFeatures()][:2])
    out = os.path.join(work, 'towns.gdb')
    processing.run('framora:polygonframes', {'INPUT': memory, 'NAME_FIELD': 'XZQMC', 'OUTPUT': out},
                   context=context, feedback=QgsProcessingFeedback())
    check(len([n for n in datasets(out) if n.startswith('L_')]) == 2, 'two township frames in the .gdb')

    # Batch print over the saved project: a document and a picture per sheet.
    folder = os.path.join(work, 'pictures')
    result = processing.run('framora:batchprint', {
        'INPUT': sheets, 'MODE': 0, 'NAME_FIELD': 'TFH', 'OUTPUT': os.path.join(work, 'print.gdb'),
        'FOLDER': folder, 'PICTURE': 2, 'DPI': 40}, context=context, feedback=QgsProcessingFeedback())
    pictures = sorted(f for f in os.listdir(folder) if f.endswith('.PNG'))
    check(len(pictures) == 9, 'a picture per sheet: %s' % pictures)
    check(len([f for f in os.listdir(folder) if f.endswith('.qgs')]) == 9, 'a map document per sheet')
    check(result.get('MADE') == 9, 'nine sheets counted')

    # A cancel stops the run between sheets.
    folder = os.path.join(work, 'cancelled')
    feedback = CancelAfterFirstSheet()
    processing.run('framora:batchprint', {
        'INPUT': sheets, 'MODE': 0, 'NAME_FIELD': 'TFH', 'OUTPUT': os.path.join(work, 'cancelled.gdb'),
        'FOLDER': folder, 'PICTURE': 2, 'DPI': 40}, context=context, feedback=feedback)
    made = len([f for f in os.listdir(folder) if f.endswith('.PNG')]) if os.path.isdir(folder) else 0
    check(feedback.isCanceled() and 1 <= made < 9, 'a cancelled run stops early (%d pictures)' % made)

    plugin.unload()
    print('%d failure(s)' % len(failures))
    return 1 if failures else 0


if __name__ == '__main__':
    status = main()
    sys.stdout.flush()
    # QGIS's own teardown can crash after all is done; the verdict is already given.
    os._exit(status)
