// The tables of the libraries opened on first use. The names of the libraries come from the
// build, which reads them from the libraries it compiled against.
#include "base/lazy_libraries.h"

#include <string>

#include "base/error.h"
#include "base/shared_library.h"

namespace korvane {

namespace {

// A table filled once, and why it could not be, if it could not.
template <class Table>
struct Loaded {
  Table table{};
  const char* soname = nullptr;
  std::string error;

  [[nodiscard]] const Table& Required() const {
    if (!error.empty()) throw CannotLoadLibrary(soname, error);
    return table;
  }
};

// Opens `soname` and fills a table with `bind(library, table)`. Never freed: the functions
// stay in use until the process ends.
template <class Table, class BindAll>
const Loaded<Table>* Load(const char* soname, BindAll bind_all) {
  auto* loaded = new Loaded<Table>();
  loaded->soname = soname;
  SharedLibrary library(soname);
  bind_all(library, loaded->table);
  loaded->error = library.Error();
  return loaded;
}

}  // namespace

const TlsLibrary* Tls() {
  // libssl's own lookups reach the libcrypto it loads.
  static const Loaded<TlsLibrary>* const loaded =
      Load<TlsLibrary>(KORVANE_SSL_SONAME, [](SharedLibrary& library, TlsLibrary& api) {
        library.Bind(api.TLS_client_method, "TLS_client_method");
        library.Bind(api.SSL_CTX_new, "SSL_CTX_new");
        library.Bind(api.SSL_CTX_ctrl, "SSL_CTX_ctrl");
        library.Bind(api.SSL_CTX_set_default_verify_paths, "SSL_CTX_set_default_verify_paths");
        library.Bind(api.SSL_CTX_set_options, "SSL_CTX_set_options");
        library.Bind(api.SSL_CTX_sess_set_new_cb, "SSL_CTX_sess_set_new_cb");
        library.Bind(api.SSL_SESSION_free, "SSL_SESSION_free");
        library.Bind(api.SSL_new, "SSL_new");
        library.Bind(api.SSL_free, "SSL_free");
        library.Bind(api.SSL_ctrl, "SSL_ctrl");
        library.Bind(api.SSL_set_fd, "SSL_set_fd");
        library.Bind(api.SSL_set_session, "SSL_set_session");
        library.Bind(api.SSL_set_ex_data, "SSL_set_ex_data");
        library.Bind(api.SSL_get_ex_data, "SSL_get_ex_data");
        library.Bind(api.SSL_set_verify, "SSL_set_verify");
        library.Bind(api.SSL_get0_param, "SSL_get0_param");
        library.Bind(api.SSL_set_hostflags, "SSL_set_hostflags");
        library.Bind(api.SSL_set1_host, "SSL_set1_host");
        library.Bind(api.SSL_connect, "SSL_connect");
        library.Bind(api.SSL_read, "SSL_read");
        library.Bind(api.SSL_write, "SSL_write");
        library.Bind(api.SSL_pending, "SSL_pending");
        library.Bind(api.SSL_get_error, "SSL_get_error");
        library.Bind(api.SSL_set_quiet_shutdown, "SSL_set_quiet_shutdown");
        library.Bind(api.SSL_shutdown, "SSL_shutdown");
        library.Bind(api.X509_VERIFY_PARAM_set1_ip_asc, "X509_VERIFY_PARAM_set1_ip_asc");
        library.Bind(api.ERR_peek_error, "ERR_peek_error");
        library.Bind(api.ERR_clear_error, "ERR_clear_error");
      });
  return loaded->error.empty() ? &loaded->table : nullptr;
}

const DigestLibrary& Digests() {
  static const Loaded<DigestLibrary>* const loaded =
      Load<DigestLibrary>(KORVANE_CRYPTO_SONAME, [](SharedLibrary& library, DigestLibrary& api) {
        library.Bind(api.EVP_Digest, "EVP_Digest");
        library.Bind(api.EVP_sha256, "EVP_sha256");
      });
  return loaded->Required();
}

const XmlLibrary& Xml() {
  static const Loaded<XmlLibrary>* const loaded =
      Load<XmlLibrary>(KORVANE_XML_SONAME, [](SharedLibrary& library, XmlLibrary& api) {
        library.Bind(api.xmlGenericErrorOfThread, "__xmlGenericError");
        library.Bind(api.xmlGenericErrorContextOfThread, "__xmlGenericErrorContext");
        library.Bind(api.xmlStructuredErrorOfThread, "__xmlStructuredError");
        library.Bind(api.xmlStructuredErrorContextOfThread, "__xmlStructuredErrorContext");
        library.Bind(api.xmlSetGenericErrorFunc, "xmlSetGenericErrorFunc");
        library.Bind(api.xmlSetStructuredErrorFunc, "xmlSetStructuredErrorFunc");
        library.Bind(api.htmlNewParserCtxt, "htmlNewParserCtxt");
        library.Bind(api.htmlCtxtUseOptions, "htmlCtxtUseOptions");
        library.Bind(api.htmlParseDocument, "htmlParseDocument");
        library.Bind(api.htmlFreeParserCtxt, "htmlFreeParserCtxt");
        library.Bind(api.xmlParserInputBufferCreateMem, "xmlParserInputBufferCreateMem");
        library.Bind(api.xmlFreeParserInputBuffer, "xmlFreeParserInputBuffer");
        library.Bind(api.xmlNewIOInputStream, "xmlNewIOInputStream");
        library.Bind(api.inputPush, "inputPush");
        library.Bind(api.xmlSwitchEncoding, "xmlSwitchEncoding");
        library.Bind(api.xmlStopParser, "xmlStopParser");
        library.Bind(api.xmlFreeDoc, "xmlFreeDoc");
        library.Bind(api.xmlReaderForMemory, "xmlReaderForMemory");
        library.Bind(api.xmlFreeTextReader, "xmlFreeTextReader");
        library.Bind(api.xmlTextReaderSetStructuredErrorHandler,
                     "xmlTextReaderSetStructuredErrorHandler");
        library.Bind(api.xmlTextReaderRead, "xmlTextReaderRead");
        library.Bind(api.xmlTextReaderNodeType, "xmlTextReaderNodeType");
        library.Bind(api.xmlTextReaderDepth, "xmlTextReaderDepth");
        library.Bind(api.xmlTextReaderIsEmptyElement, "xmlTextReaderIsEmptyElement");
        library.Bind(api.xmlTextReaderConstLocalName, "xmlTextReaderConstLocalName");
        library.Bind(api.xmlTextReaderConstValue, "xmlTextReaderConstValue");
        decltype(&::xmlInitParser) init = nullptr;
        library.Bind(init, "xmlInitParser");
        if (init != nullptr) init();
      });
  return loaded->Required();
}

}  // namespace korvane
