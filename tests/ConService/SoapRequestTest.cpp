#include "ConService/SoapRequest.h"

#include <gtest/gtest.h>

#include <string>

namespace brisel {
namespace {

TEST(SoapRequestTest, OnlyAWellFormedCallOfTheNamedActionPasses) {
  const std::string cd = "urn:schemas-upnp-org:service:ContentDirectory:1";
  const std::string action = "\"" + cd + "#Browse\"";
  const std::string open =
      "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<s:Body>";
  const std::string close = "</s:Body></s:Envelope>";
  const std::string call = "<u:Browse xmlns:u=\"" + cd + "\"><ObjectID>0</ObjectID></u:Browse>";
  struct Case {
    const char* name;
    std::string body;
    std::string soapAction;
    bool ok;
  };
  const Case cases[] = {
      {"a call", open + call + close, action, true},
      {"unquoted header", open + call + close, cd + "#Browse", true},
      {"default namespaces",
       "<Envelope xmlns=\"http://schemas.xmlsoap.org/soap/envelope/\"><Body><Browse xmlns=\"" + cd +
           "\"/></Body></Envelope>",
       action, true},
      {"whitespace and comments", open + "\n <!-- x --> " + call + "\n" + close, action, true},
      {"another action than the header's", open + call + close, "\"" + cd + "#Search\"", false},
      {"another service than the header's", open + call + close,
       "\"urn:schemas-upnp-org:service:ConnectionManager:1#Browse\"", false},
      {"no header", open + call + close, "", false},
      {"header without action", open + call + close, "\"" + cd + "#\"", false},
      {"header without service", open + call + close, "\"#Browse\"", false},
      {"not XML", "this is not xml <<<", action, false},
      {"truncated", open + "<u:Browse xmlns:u=\"", action, false},
      {"empty body", open + close, action, false},
      {"two calls", open + call + call + close, action, false},
      {"no envelope namespace", "<s:Envelope xmlns:s=\"urn:other\"><s:Body>" + call + close, action,
       false},
      {"body outside the envelope", "<Body>" + call + "</Body>", action, false},
      {"unbound prefix", open + "<u:Browse/>" + close, action, false},
      {"nothing", "", action, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWellFormedSoapRequest(c.body, c.soapAction), c.ok) << c.name;
  }
}

}  // namespace
}  // namespace brisel
