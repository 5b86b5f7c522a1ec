#include "gis/xml_text.h"

#include <cpl_conv.h>
#include <cpl_vsi.h>

namespace framora {

std::string XmlEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string SerializedElement(CPLXMLNode* element) {
  if (element == nullptr) return {};
  CPLXMLNode* next = element->psNext;
  element->psNext = nullptr;
  char* text = CPLSerializeXMLTree(element);
  element->psNext = next;
  std::string out = text ? text : "";
  CPLFree(text);
  return out;
}

std::string ReadTextFile(const std::string& path) {
  VSILFILE* file = VSIFOpenL(path.c_str(), "rb");
  if (file == nullptr) return {};
  std::string content;
  char buffer[16384];
  size_t read;
  while ((read = VSIFReadL(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, read);
  VSIFCloseL(file);
  return content;
}

}  // namespace framora
