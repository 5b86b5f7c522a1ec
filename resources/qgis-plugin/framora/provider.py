"""The "Framora" provider: three algorithms over framora-cli."""

from qgis.core import QgsProcessingProvider

from .algorithms import BatchPrintAlgorithm, PolygonFramesAlgorithm, StandardFramesAlgorithm


class FramoraProvider(QgsProcessingProvider):
    def id(self):
        return 'framora'

    def name(self):
        return 'Framora'

    def longName(self):  # noqa: N802 - QGIS's name
        return 'Framora 图廓'

    def loadAlgorithms(self):  # noqa: N802 - QGIS's name
        for algorithm in (StandardFramesAlgorithm(), PolygonFramesAlgorithm(), BatchPrintAlgorithm()):
            self.addAlgorithm(algorithm)
