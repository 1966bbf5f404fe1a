// The libraries that only some runs need, opened on their first use instead of at program
// start: OpenSSL for https addresses and for the texts' digests, libxml2 for the main text and
// the sitemaps. Loading them costs a few milliseconds that a run which never needs them, such
// as `korvane-cli text` on a plain page, no longer pays.
//
// Each table holds the library functions its callers use, typed by the library's own header,
// and is filled once per process, by the first call on any thread.
#pragma once

#include <libxml/HTMLparser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlreader.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

namespace korvane {

// libssl and the libcrypto functions that TLS exchanges call.
struct TlsLibrary {
  decltype(&::TLS_client_method) TLS_client_method;
  decltype(&::SSL_CTX_new) SSL_CTX_new;
  decltype(&::SSL_CTX_ctrl) SSL_CTX_ctrl;
  decltype(&::SSL_CTX_set_default_verify_paths) SSL_CTX_set_default_verify_paths;
  decltype(&::SSL_CTX_set_options) SSL_CTX_set_options;
  decltype(&::SSL_CTX_sess_set_new_cb) SSL_CTX_sess_set_new_cb;
  decltype(&::SSL_SESSION_free) SSL_SESSION_free;
  decltype(&::SSL_new) SSL_new;
  decltype(&::SSL_free) SSL_free;
  decltype(&::SSL_ctrl) SSL_ctrl;
  decltype(&::SSL_set_fd) SSL_set_fd;
  decltype(&::SSL_set_session) SSL_set_session;
  decltype(&::SSL_set_ex_data) SSL_set_ex_data;
  decltype(&::SSL_get_ex_data) SSL_get_ex_data;
  decltype(&::SSL_set_verify) SSL_set_verify;
  decltype(&::SSL_get0_param) SSL_get0_param;
  decltype(&::SSL_set_hostflags) SSL_set_hostflags;
  decltype(&::SSL_set1_host) SSL_set1_host;
  decltype(&::SSL_connect) SSL_connect;
  decltype(&::SSL_read) SSL_read;
  decltype(&::SSL_write) SSL_write;
  decltype(&::SSL_pending) SSL_pending;
  decltype(&::SSL_get_error) SSL_get_error;
  decltype(&::SSL_set_quiet_shutdown) SSL_set_quiet_shutdown;
  decltype(&::SSL_shutdown) SSL_shutdown;
  decltype(&::X509_VERIFY_PARAM_set1_ip_asc) X509_VERIFY_PARAM_set1_ip_asc;
  decltype(&::ERR_peek_error) ERR_peek_error;
  decltype(&::ERR_clear_error) ERR_clear_error;
};

// libcrypto's digests.
struct DigestLibrary {
  decltype(&::EVP_Digest) EVP_Digest;
  decltype(&::EVP_sha256) EVP_sha256;
};

// libxml2's HTML parser, for the main text, and its XML reader, for sitemaps. Its parser is
// initialised once, when the table is filled.
struct XmlLibrary {
  // The calling thread's error handlers: what xmlGenericError and its kin name.
  decltype(&::__xmlGenericError) xmlGenericErrorOfThread;
  decltype(&::__xmlGenericErrorContext) xmlGenericErrorContextOfThread;
  decltype(&::__xmlStructuredError) xmlStructuredErrorOfThread;
  decltype(&::__xmlStructuredErrorContext) xmlStructuredErrorContextOfThread;
  decltype(&::xmlSetGenericErrorFunc) xmlSetGenericErrorFunc;
  decltype(&::xmlSetStructuredErrorFunc) xmlSetStructuredErrorFunc;
  decltype(&::htmlNewParserCtxt) htmlNewParserCtxt;
  decltype(&::htmlCtxtUseOptions) htmlCtxtUseOptions;
  decltype(&::htmlParseDocument) htmlParseDocument;
  decltype(&::htmlFreeParserCtxt) htmlFreeParserCtxt;
  decltype(&::xmlParserInputBufferCreateMem) xmlParserInputBufferCreateMem;
  decltype(&::xmlFreeParserInputBuffer) xmlFreeParserInputBuffer;
  decltype(&::xmlNewIOInputStream) xmlNewIOInputStream;
  decltype(&::inputPush) inputPush;
  decltype(&::xmlSwitchEncoding) xmlSwitchEncoding;
  decltype(&::xmlStopParser) xmlStopParser;
  decltype(&::xmlFreeDoc) xmlFreeDoc;
  decltype(&::xmlReaderForMemory) xmlReaderForMemory;
  decltype(&::xmlFreeTextReader) xmlFreeTextReader;
  decltype(&::xmlTextReaderSetStructuredErrorHandler) xmlTextReaderSetStructuredErrorHandler;
  decltype(&::xmlTextReaderRead) xmlTextReaderRead;
  decltype(&::xmlTextReaderNodeType) xmlTextReaderNodeType;
  decltype(&::xmlTextReaderDepth) xmlTextReaderDepth;
  decltype(&::xmlTextReaderIsEmptyElement) xmlTextReaderIsEmptyElement;
  decltype(&::xmlTextReaderConstLocalName) xmlTextReaderConstLocalName;
  decltype(&::xmlTextReaderConstValue) xmlTextReaderConstValue;
};

// The TLS functions, or null when libssl or one of them cannot be loaded: https then fails
// page by page, as when no TLS exchange can be set up.
[[nodiscard]] const TlsLibrary* Tls();

// The digest and XML functions. Raise KorvaneError (CannotLoadLibrary) when the library or a
// function of it cannot be loaded, on every call.
[[nodiscard]] const DigestLibrary& Digests();
[[nodiscard]] const XmlLibrary& Xml();

}  // namespace korvane
