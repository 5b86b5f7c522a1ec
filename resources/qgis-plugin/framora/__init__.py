"""Framora for QGIS: a Processing provider running framora-cli."""


def classFactory(iface):  # noqa: N802 - the name QGIS looks for
    from .plugin import FramoraPlugin
    return FramoraPlugin(iface)
