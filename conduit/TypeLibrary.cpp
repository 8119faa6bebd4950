// The type library the conduit library carries. It is not registered and
// nothing creates its class; it is kept as data in the section
// ".gearvane.typelib" of the library file, as an IDL text.

namespace conduit {

__attribute__((section(".gearvane.typelib"), used)) extern const char TypeLibrary[] =
    "// TYPELIB 1\n"
    "[\n"
    "  uuid(9596A9EF-C7ED-439E-9084-F8F77DBD1443),\n"
    "  version(1.0),\n"
    "  lcid(1033),\n"
    "  helpstring(\"KLX Gearvane Conduit Library\")\n"
    "]\n"
    "library GVConLib\n"
    "{\n"
    "  importlib(\"stdole2.tlb\");\n"
    "\n"
    "  [\n"
    "    uuid(56F0B9A5-06BA-4B7B-B4E3-FD305757942C),\n"
    "    version(1.0),\n"
    "    helpstring(\"Dispatch interface for KLXGVConduit Object\"),\n"
    "    dual,\n"
    "    oleautomation\n"
    "  ]\n"
    "  interface IKLXGVConduit: IDispatch\n"
    "  {\n"
    "  };\n"
    "\n"
    "  [\n"
    "    uuid(328D3759-3C29-45DD-B442-0DF339EB8C30),\n"
    "    version(1.0),\n"
    "    helpstring(\"KLXGVConduit Object\")\n"
    "  ]\n"
    "  coclass KLXGVConduit\n"
    "  {\n"
    "    [default] interface IKLXGVConduit;\n"
    "  };\n"
    "};\n";

} // namespace conduit
