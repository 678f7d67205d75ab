#include "ConService/SoapRequest.h"

#include <pugixml.hpp>
#include <string>

namespace brisel {
namespace {

constexpr std::string_view kEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

std::string_view LocalName(std::string_view name) {
  const std::size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The namespace URI the element's prefix is bound to, searching outwards.
std::string_view NamespaceOf(pugi::xml_node node) {
  const std::string_view name = node.name();
  const std::size_t colon = name.find(':');
  const std::string attribute =
      colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
  for (pugi::xml_node n = node; n; n = n.parent()) {
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
  }
  return {};
}

}  // namespace

bool IsWellFormedSoapRequest(std::string_view body, std::string_view soapActionHeader) {
  std::string_view action = soapActionHeader;
  while (!action.empty() && (action.front() == ' ' || action.front() == '\t'))
    action.remove_prefix(1);
  while (!action.empty() && (action.back() == ' ' || action.back() == '\t'))
    action.remove_suffix(1);
  if (action.size() >= 2 && action.front() == '"' && action.back() == '"') {
    action = action.substr(1, action.size() - 2);
  }
  const std::size_t hash = action.rfind('#');
  if (hash == std::string_view::npos || hash == 0 || hash + 1 == action.size()) return false;
  const std::string_view serviceType = action.substr(0, hash);
  const std::string_view actionName = action.substr(hash + 1);

  pugi::xml_document doc;
  if (!doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8))
    return false;
  pugi::xml_node envelope = doc.document_element();
  if (LocalName(envelope.name()) != "Envelope" || NamespaceOf(envelope) != kEnvelopeNamespace)
    return false;
  pugi::xml_node soapBody;
  for (pugi::xml_node child : envelope.children()) {
    if (child.type() == pugi::node_element && LocalName(child.name()) == "Body") soapBody = child;
  }
  if (!soapBody || NamespaceOf(soapBody) != kEnvelopeNamespace) return false;
  pugi::xml_node call;
  for (pugi::xml_node child : soapBody.children()) {
    if (child.type() != pugi::node_element) continue;
    if (call) return false;  // one action per request
    call = child;
  }
  return call && LocalName(call.name()) == actionName && NamespaceOf(call) == serviceType;
}

}  // namespace brisel
