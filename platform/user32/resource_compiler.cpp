// resource_compiler SCRIPT OUTPUT [DEPFILE]: compiles the dialogs of a resource script into a
// C++ source that defines the module's resource directory (module_resources.h), each dialog in
// the binary layout that windres writes for Windows. With DEPFILE, also writes the make-style
// list of the files read, so that the build reruns it when an included header changes.
#include <cstdio>
#include <fstream>
#include <string>

#include <dialog_resources.h>
#include <module_resources.h>

namespace {

constexpr WORD kDialogType = 5;  // RT_DIALOG

std::string EscapeForMake(const std::string& path) {
  std::string escaped;
  for (char c : path) {
    if (c == ' ' || c == '#') escaped.push_back('\\');
    if (c == '$') escaped.push_back('$');
    escaped.push_back(c);
  }
  return escaped;
}

void WriteSource(std::ostream& out, const std::string& scriptPath,
                 const dialog_resources::ResourceScript& script) {
  out << "// Compiled from " << scriptPath << " by resource_compiler; do not edit.\n"
      << "#include <module_resources.h>\n\nnamespace {\n";
  for (std::size_t i = 0; i < script.dialogs.size(); ++i) {
    const std::vector<BYTE> bytes =
        dialog_resources::EncodeDialogTemplate(script.dialogs[i].dialog);
    out << "\nconst BYTE kResource" << i << "[] = {";
    for (std::size_t b = 0; b < bytes.size(); ++b) {
      if (b % 16 == 0) out << "\n   ";
      char hex[8];
      std::snprintf(hex, sizeof(hex), " 0x%02x,", bytes[b]);
      out << hex;
    }
    out << "\n};\n";
  }
  if (!script.dialogs.empty()) {
    out << "\nconst ModuleResource kResources[] = {\n";
    for (std::size_t i = 0; i < script.dialogs.size(); ++i) {
      out << "    {" << kDialogType << ", " << script.dialogs[i].id << ", "
          << script.dialogs[i].language << ", sizeof(kResource" << i << "), kResource" << i
          << "},\n";
    }
    out << "};\n";
  }
  out << "\n}  // namespace\n\n"
      << "extern \"C\" __attribute__((visibility(\"default\"))) const ModuleResourceDirectory "
      << MODULE_RESOURCES_SYMBOL << " = {" << script.dialogs.size() << ", "
      << (script.dialogs.empty() ? "nullptr" : "kResources") << "};\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: resource_compiler SCRIPT OUTPUT [DEPFILE]\n");
    return 2;
  }
  const std::string scriptPath = argv[1], outputPath = argv[2];
  const dialog_resources::ResourceScript script = dialog_resources::ReadResourceScript(scriptPath);
  if (!script.error.empty()) {
    std::fprintf(stderr, "%s\n", script.error.c_str());
    return 1;
  }
  std::ofstream output(outputPath, std::ios::binary | std::ios::trunc);
  WriteSource(output, scriptPath, script);
  if (!output.flush()) {
    std::fprintf(stderr, "resource_compiler: cannot write %s\n", outputPath.c_str());
    return 1;
  }
  if (argc == 4) {
    std::ofstream depfile(argv[3], std::ios::binary | std::ios::trunc);
    depfile << EscapeForMake(outputPath) << ":";
    for (const std::string& file : script.filesRead) depfile << " " << EscapeForMake(file);
    depfile << "\n";
    if (!depfile.flush()) {
      std::fprintf(stderr, "resource_compiler: cannot write %s\n", argv[3]);
      return 1;
    }
  }
  return 0;
}
