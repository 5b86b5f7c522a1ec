"""The Framora algorithms: their parameters mirror framora-cli's options, and running one
runs framora-cli on the chosen layer."""

import os
import re
import tempfile

from osgeo import ogr
from qgis.core import (QgsProcessing, QgsProcessingAlgorithm, QgsProcessingContext, QgsProcessingException,
                       QgsProcessingOutputNumber, QgsProcessingParameterBoolean, QgsProcessingParameterDefinition,
                       QgsProcessingParameterEnum, QgsProcessingParameterField, QgsProcessingParameterFile,
                       QgsProcessingParameterFileDestination, QgsProcessingParameterFolderDestination,
                       QgsProcessingParameterNumber, QgsProcessingParameterString,
                       QgsProcessingParameterVectorLayer, QgsProject, QgsProviderRegistry, QgsVectorFileWriter,
                       QgsVectorLayer)

from .cli import frame_setting_defaults, run_cli

CRS_CHOICES = [('', '自动（按输入的坐标系统）'), ('cgcs2000', '国家2000 (CGCS2000)'), ('xian80', '西安80'),
               ('beijing54', '北京54'), ('wgs84', 'WGS84')]
ZONE_CHOICES = [('', '自动'), ('3', '3度带'), ('6', '6度带')]
PICTURE_TYPES = ['.JPG', '.TIF', '.PNG', '.BMP', '.GIF', '.PDF']
SETTING_PREFIX = 'SET_'
SUMMARY = re.compile(r'生成(\d+)幅，已有(\d+)幅，跳过(\d+)幅，失败(\d+)幅')


def layer_source(layer, selected_only, folder):
    """(data source, layer name, condition) for framora-cli: the layer's own OGR source with its
    filter and selection as a condition, or a GeoPackage copy of the features to use."""
    conditions = []
    if layer.subsetString().strip():
        conditions.append('(' + layer.subsetString().strip() + ')')
    if layer.providerType() == 'ogr' and not layer.subsetString().lstrip().upper().startswith('SELECT'):
        parts = QgsProviderRegistry.instance().decodeUri('ogr', layer.source())
        path, name = parts.get('path', ''), parts.get('layerName')
        if os.path.exists(path):
            if not name:
                data = ogr.Open(path)
                index = parts.get('layerId') or 0
                name = data.GetLayer(int(index)).GetName() if data is not None else None
            if name:
                if selected_only:
                    ids = ','.join(str(i) for i in sorted(layer.selectedFeatureIds())) or '-1'
                    conditions.append('FID IN (' + ids + ')')
                return path, name, ' AND '.join(conditions)
    # Memory, database and other layers travel as a copy of exactly the features to use.
    copy = os.path.join(folder, 'framora_input.gpkg')
    options = QgsVectorFileWriter.SaveVectorOptions()
    options.driverName = 'GPKG'
    options.layerName = 'sheets'
    options.onlySelectedFeatures = selected_only
    error = QgsVectorFileWriter.writeAsVectorFormatV3(layer, copy, QgsProject.instance().transformContext(),
                                                       options)
    if error[0] != QgsVectorFileWriter.NoError:
        raise QgsProcessingException('不能复制图层' + layer.name() + '：' + str(error[1]))
    return copy, 'sheets', ''


class FramoraAlgorithm(QgsProcessingAlgorithm):
    """What the three algorithms share; mode is 'standard', 'polygon' or None (a parameter)."""

    command = 'generate'
    mode = None
    title = ('', '', '')  # the algorithm's id, its name in the toolbox, its help

    def createInstance(self):  # noqa: N802 - QGIS's name
        return type(self)()

    def name(self):
        return self.title[0]

    def displayName(self):  # noqa: N802 - QGIS's name
        return self.title[1]

    def shortHelpString(self):  # noqa: N802 - QGIS's name
        return self.title[2]

    def group(self):
        return ''

    def groupId(self):  # noqa: N802 - QGIS's name
        return ''

    def initAlgorithm(self, config=None):  # noqa: N802 - QGIS's name
        types = [QgsProcessing.TypeVectorPolygon]
        self.addParameter(QgsProcessingParameterVectorLayer('INPUT', '图幅或行政区划图层', types))
        self.addParameter(QgsProcessingParameterBoolean('SELECTED_ONLY', '只用选中的要素', False))
        if self.mode is None:
            self.addParameter(QgsProcessingParameterEnum('MODE', '创建方式', ['标准图幅', '行政区划（任意多边形）'],
                                                         defaultValue=0))
        self.addParameter(QgsProcessingParameterField('NAME_FIELD', '图幅名称字段', parentLayerParameterName='INPUT'))
        self.addParameter(QgsProcessingParameterString('NAME_TEMPLATE', '输出名称模板，如 [TFH]图（空为 [字段]）',
                                                       optional=True))
        self.addParameter(QgsProcessingParameterNumber('SCALE', '比例尺分母', QgsProcessingParameterNumber.Integer,
                                                       10000, minValue=1))
        self.addParameter(QgsProcessingParameterEnum('CRS', '坐标系统', [c[1] for c in CRS_CHOICES], defaultValue=0))
        self.addParameter(QgsProcessingParameterEnum('ZONES', '分带', [c[1] for c in ZONE_CHOICES], defaultValue=0))
        self.addParameter(QgsProcessingParameterNumber('MERIDIAN', '中央经线（度；空为自动）',
                                                       QgsProcessingParameterNumber.Double, optional=True))
        self.addParameter(QgsProcessingParameterBoolean('ZONE_IN_EASTING', '横坐标带带号', False))
        self.addParameter(QgsProcessingParameterBoolean('GEOGRAPHIC', '数据是经纬度', False))
        self.addParameter(QgsProcessingParameterFile('SETTINGS', '设置文件（framora.set，可选）', optional=True))
        if self.command == 'print':
            self.addParameter(QgsProcessingParameterEnum('PICTURE', '图片类型', PICTURE_TYPES, defaultValue=0))
            self.addParameter(QgsProcessingParameterNumber('DPI', '分辨率 (DPI)', QgsProcessingParameterNumber.Integer,
                                                           96, minValue=1))
        for name, default in frame_setting_defaults():
            parameter = QgsProcessingParameterString(SETTING_PREFIX + name, name, default, optional=True)
            parameter.setFlags(parameter.flags() | QgsProcessingParameterDefinition.FlagAdvanced)
            self.addParameter(parameter)
        self.addParameter(QgsProcessingParameterFileDestination(
            'OUTPUT', '输出图框数据库', 'GeoPackage (*.gpkg);;File geodatabase (*.gdb)'))
        if self.command == 'print':
            self.addParameter(QgsProcessingParameterFolderDestination('FOLDER', '地图文档和图片目录'))
        self.addOutput(QgsProcessingOutputNumber('MADE', '生成的图幅数'))
        self.addOutput(QgsProcessingOutputNumber('FAILED', '失败的图幅数'))

    def arguments(self, parameters, context, folder):
        layer = self.parameterAsVectorLayer(parameters, 'INPUT', context)
        if layer is None:
            raise QgsProcessingException('没有选择图层')
        field = self.parameterAsString(parameters, 'NAME_FIELD', context)
        template = self.parameterAsString(parameters, 'NAME_TEMPLATE', context).strip() or '[' + field + ']'
        selected = self.parameterAsBool(parameters, 'SELECTED_ONLY', context)
        mode = self.mode or ('standard', 'polygon')[self.parameterAsEnum(parameters, 'MODE', context)]
        output = self.parameterAsFileOutput(parameters, 'OUTPUT', context)
        settings_file = self.parameterAsFile(parameters, 'SETTINGS', context)

        # Batch printing shows the user's map: the saved project holding the layer, when there is one.
        project_path = QgsProject.instance().fileName()
        in_project = QgsProject.instance().mapLayer(layer.id()) is not None
        if self.command == 'print' and in_project and project_path.lower().endswith(('.qgs', '.qgz')):
            document, layer_name = project_path, layer.name()
            where = ''
            if selected:
                where = 'FID IN (' + (','.join(str(i) for i in sorted(layer.selectedFeatureIds())) or '-1') + ')'
        else:
            document, layer_name, where = layer_source(layer, selected, folder)

        arguments = [self.command]
        if settings_file:
            arguments += ['--settings', settings_file]
        arguments += ['--mode', mode, '--doc', document, '--layer', layer_name, '--name', template,
                      '--out', output, '--overwrite',
                      '--scale', str(self.parameterAsInt(parameters, 'SCALE', context))]
        if where:
            arguments += ['--where', where]
        crs = CRS_CHOICES[self.parameterAsEnum(parameters, 'CRS', context)][0]
        if crs:
            arguments += ['--crs', crs]
        zones = ZONE_CHOICES[self.parameterAsEnum(parameters, 'ZONES', context)][0]
        if zones:
            arguments += ['--zones', zones]
        if parameters.get('MERIDIAN') not in (None, ''):
            arguments += ['--meridian', repr(self.parameterAsDouble(parameters, 'MERIDIAN', context))]
        if self.parameterAsBool(parameters, 'ZONE_IN_EASTING', context):
            arguments.append('--zone-in-easting')
        if self.parameterAsBool(parameters, 'GEOGRAPHIC', context):
            arguments.append('--geographic')
        if self.command == 'print':
            arguments += ['--folder', self.parameterAsString(parameters, 'FOLDER', context),
                          '--picture', PICTURE_TYPES[self.parameterAsEnum(parameters, 'PICTURE', context)],
                          '--dpi', str(self.parameterAsInt(parameters, 'DPI', context))]
        # Only what the user changed, so that a settings file keeps the rest.
        for definition in self.parameterDefinitions():
            name = definition.name()
            if not name.startswith(SETTING_PREFIX) or name not in parameters:
                continue
            value = self.parameterAsString(parameters, name, context)
            if value != (definition.defaultValue() or ''):
                arguments += ['--set', name[len(SETTING_PREFIX):] + '=' + value]
        return arguments, output

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802 - QGIS's name
        with tempfile.TemporaryDirectory(prefix='framora-') as folder:
            arguments, output = self.arguments(parameters, context, folder)
            summary = {}

            class LoggedFeedback:
                """Passes everything on and keeps the run's summary line."""

                def __getattr__(self, name):
                    return getattr(feedback, name)

                def pushInfo(self, text):  # noqa: N802 - QGIS's name
                    match = SUMMARY.search(text)
                    if match:
                        summary['made'] = int(match.group(1))
                        summary['failed'] = int(match.group(4))
                    feedback.pushInfo(text)

            status = run_cli(arguments, LoggedFeedback())
        results = {'OUTPUT': output, 'MADE': summary.get('made', 0), 'FAILED': summary.get('failed', 0)}
        if self.command == 'print':
            results['FOLDER'] = self.parameterAsString(parameters, 'FOLDER', context)
        if feedback.isCanceled():
            feedback.reportError('已终止', False)
            return results
        if status != 0:
            raise QgsProcessingException('framora-cli 没有完成（退出码{}），见日志'.format(status))
        self.offerOutputs(output, context)
        return results

    def offerOutputs(self, output, context):  # noqa: N802 - QGIS's naming style
        """The frame classes are offered to load into the project when the run ends."""
        data = ogr.Open(output)
        if data is None:
            return
        for index in range(data.GetLayerCount()):
            name = data.GetLayer(index).GetName()
            if not name.lower().startswith(('l_', 'p_', 'a_')):
                continue
            layer = QgsVectorLayer(output + '|layername=' + name, name, 'ogr')
            if not layer.isValid():
                continue
            context.temporaryLayerStore().addMapLayer(layer)
            context.addLayerToLoadOnCompletion(
                layer.id(), QgsProcessingContext.LayerDetails(name, context.project(), name))


class StandardFramesAlgorithm(FramoraAlgorithm):
    command, mode = 'generate', 'standard'
    title = ('standardframes', '标准图幅图廓',
             '按标准图幅结合表的每一幅生成图廓（内外图廓、注记、公里网或经纬网、接图表、比例尺、压盖），存入GDB或GPKG。')


class PolygonFramesAlgorithm(FramoraAlgorithm):
    command, mode = 'generate', 'polygon'
    title = ('polygonframes', '行政区划图廓', '按任意多边形（如乡镇）的外接矩形生成图廓，存入GDB或GPKG。')


class BatchPrintAlgorithm(FramoraAlgorithm):
    command, mode = 'print', None
    title = ('batchprint', '批量打印',
             '生成图廓，并为每一幅按比例尺排版，保存QGIS工程（.qgs）和图片。项目已保存时，图片上显示项目中的图层。')
