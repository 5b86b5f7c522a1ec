#pragma once

#include <cpl_minixml.h>

#include <string>

namespace framora {

// Text made safe for an XML attribute or element.
std::string XmlEscaped(const std::string& text);
// The element with its children, without its following siblings.
std::string SerializedElement(CPLXMLNode* element);
// The text of a file read through GDAL's file layer; empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace framora
