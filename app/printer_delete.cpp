// Deleting a printer by its name.
#include "app/printer_delete.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace velta {

namespace {

// The domain socket of the local server, where PAPPL's sub-commands find it.
std::string LocalServerSocket(const char* base_name) {
  if (getuid() == 0) return std::string("/run/") + base_name + ".sock";
  return std::string(papplGetTempDir()) + "/" + base_name + std::to_string(getuid()) + ".sock";
}

// Opens the connection and names the printer's resource; false with a message printed when it cannot.
http_t* ConnectToPrinter(const char* base_name, const char* uri, const std::string& name, std::string& resource) {
  if (uri == nullptr) {
    resource = "/ipp/print/" + name;
    const std::string socket = LocalServerSocket(base_name);
    http_t* http = httpConnect2(socket.c_str(), 0, nullptr, AF_UNSPEC, HTTP_ENCRYPTION_IF_REQUESTED, 1, 30000, nullptr);
    if (http == nullptr) std::fprintf(stderr, "%s: No server is running (%s).\n", base_name, socket.c_str());
    return http;
  }
  char scheme[32], userpass[256], host[256], path[1024];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, userpass, sizeof userpass, host, sizeof host,
                      &port, path, sizeof path) < HTTP_URI_STATUS_OK ||
      (std::strcmp(scheme, "ipp") != 0 && std::strcmp(scheme, "ipps") != 0)) {
    std::fprintf(stderr, "%s: Bad URI '%s'.\n", base_name, uri);
    return nullptr;
  }
  // A printer's own URI names it; the system's needs -d.
  resource = std::strncmp(path, "/ipp/print/", 11) == 0 ? std::string(path) : "/ipp/print/" + name;
  http_t* http = httpConnect2(host, port, nullptr, AF_UNSPEC,
                              std::strcmp(scheme, "ipps") == 0 ? HTTP_ENCRYPTION_ALWAYS : HTTP_ENCRYPTION_IF_REQUESTED,
                              1, 30000, nullptr);
  if (http == nullptr) std::fprintf(stderr, "%s: Unable to connect to %s:%d.\n", base_name, host, port);
  return http;
}

}  // namespace

int DeletePrinterCommand(const char* base_name, int argc, char* argv[]) {
  const char* uri = nullptr;
  std::string name;
  for (int i = 0; i < argc; ++i) {
    const bool printer = std::strcmp(argv[i], "-d") == 0, server = std::strcmp(argv[i], "-u") == 0;
    if ((printer || server) && i + 1 < argc) {
      if (printer)
        name = argv[++i];
      else
        uri = argv[++i];
    } else {
      std::fprintf(stderr, "%s: Usage: %s delete [-u URI] -d PRINTER\n", base_name, base_name);
      return 1;
    }
  }
  if (name.empty() && (uri == nullptr || std::strstr(uri, "/ipp/print/") == nullptr)) {
    std::fprintf(stderr, "%s: Missing '-d PRINTER'.\n", base_name);
    return 1;
  }
  std::string resource;
  http_t* http = ConnectToPrinter(base_name, uri, name, resource);
  if (http == nullptr) return 1;
  char printer_uri[1024];
  httpAssembleURI(HTTP_URI_CODING_ALL, printer_uri, sizeof printer_uri, "ipp", nullptr, "localhost", 0,
                  resource.c_str());
  ipp_t* request = ippNewRequest(IPP_OP_DELETE_PRINTER);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printer_uri);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippDelete(cupsDoRequest(http, request, resource.c_str()));
  httpClose(http);
  if (cupsLastError() != IPP_STATUS_OK) {
    std::fprintf(stderr, "%s: Unable to delete the printer at %s: %s\n", base_name, resource.c_str(),
                 cupsLastErrorString());
    return 1;
  }
  return 0;
}

bool DeletePrinterOperation(pappl_client_t* client, void*) {
  pappl_printer_t* printer = papplClientGetPrinter(client);
  if (ippGetOperation(papplClientGetRequest(client)) != IPP_OP_DELETE_PRINTER || printer == nullptr) return false;
  const http_status_t authorized = papplClientIsAuthorized(client);
  if (authorized != HTTP_STATUS_CONTINUE) {
    papplClientRespond(client, authorized, nullptr, nullptr, 0, 0);
    return true;
  }
  if (papplPrinterGetState(printer) == IPP_PSTATE_PROCESSING) {
    papplClientRespondIPP(client, IPP_STATUS_ERROR_BUSY,
                          "The printer is printing a job; delete it once the job is done or cancelled.");
    return true;
  }
  papplPrinterDelete(printer);
  papplClientRespondIPP(client, IPP_STATUS_OK, nullptr);
  return true;
}

}  // namespace velta
