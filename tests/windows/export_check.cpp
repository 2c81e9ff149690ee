// export_check: loads the filter DLL the way the editor does, with LoadLibrary and
// GetProcAddress, and checks its whole export surface: exactly the 17 host functions under
// their plain names, each stdcall with every argument in one 32-bit stack slot. Every export is
// called once with arguments that are safe whatever the media runtime can do, and the probe
// measures the bytes it removes from the stack.
//
// usage: export_check WMAFILTER.DLL READABLE.wma SCRATCH_DIRECTORY
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "checks.h"
#include "filter/filter_api.h"
#include "stack_probe.h"

namespace {

// The host's interface: each export and the number of 32-bit slots its arguments take.
struct ExportShape {
  const char* name;
  DWORD slots;
};
constexpr ExportShape kExports[] = {
    {"QueryVivaFilter", 1},
    {"FilterUnderstandsFormat", 1},
    {"OpenFilterInput", 6},
    {"FilterGetFileSize", 1},
    {"ReadFilterInput", 3},
    {"CloseFilterInput", 1},
    {"GetSuggestedSampleType", 3},
    {"OpenFilterOutput", 7},
    {"WriteFilterOutput", 3},
    {"CloseFilterOutput", 1},
    {"FilterGetOptions", 6},
    {"FilterOptions", 1},
    {"FilterOptionsString", 2},
    {"FilterWriteSpecialData", 5},
    {"FilterGetFirstSpecialData", 2},
    {"FilterGetNextSpecialData", 2},
    {"DIALOGMsgProc", 4},
};

// The names in the loaded module's export directory, sorted.
std::vector<std::string> ExportedNames(HMODULE module, DWORD& functionCount) {
  const auto* base = reinterpret_cast<const BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* directory =
      reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
  std::vector<std::string> result;
  for (DWORD i = 0; i < directory->NumberOfNames; ++i) {
    result.emplace_back(reinterpret_cast<const char*>(base + names[i]));
  }
  std::sort(result.begin(), result.end());
  functionCount = directory->NumberOfFunctions;
  return result;
}

DWORD SlotsOf(const char* name) {
  for (const ExportShape& shape : kExports) {
    if (std::strcmp(shape.name, name) == 0) return shape.slots;
  }
  return 0;
}

class ExportProbe {
 public:
  ExportProbe(HMODULE module, Checks& checks) : module_(module), checks_(checks) {}

  // Calls the export with one slot for each of its arguments and checks that it removed
  // exactly those from the stack as it returned.
  ProbedCall Call(const char* name, std::initializer_list<DWORD> arguments) {
    const FARPROC function = GetProcAddress(module_, name);
    if (!checks_.Expect(function != nullptr && arguments.size() == SlotsOf(name),
                        std::string(name) + " is exported and called with its arguments")) {
      return {};
    }
    const ProbedCall call = CallAndMeasure(function, arguments);
    checks_.ExpectEqual(call.bytesRemoved, 4 * SlotsOf(name),
                        std::string(name) + ": argument bytes removed on return");
    ++called_[name];
    return call;
  }

  // Every export of the table was called at least once.
  void ExpectAllCalled() {
    for (const ExportShape& shape : kExports) {
      checks_.Expect(called_[shape.name] > 0, std::string(shape.name) + " was probed");
    }
  }

 private:
  HMODULE module_;
  Checks& checks_;
  std::map<std::string, int> called_;
};

void CheckNames(HMODULE module, Checks& checks) {
  std::vector<std::string> expected;
  for (const ExportShape& shape : kExports) expected.emplace_back(shape.name);
  std::sort(expected.begin(), expected.end());
  DWORD functions = 0;
  const std::vector<std::string> names = ExportedNames(module, functions);
  checks.ExpectEqual(names.size(), std::size_t{17}, "exported names");
  checks.ExpectEqual(functions, DWORD{17}, "exported functions, by name or ordinal");
  checks.Expect(names == expected, "the export names are exactly the host's 17");
  for (const ExportShape& shape : kExports) {
    checks.Expect(GetProcAddress(module, shape.name) != nullptr,
                  std::string("GetProcAddress finds ") + shape.name);
    const std::string decorated = std::string(shape.name) + "@" + std::to_string(4 * shape.slots);
    checks.Expect(GetProcAddress(module, decorated.c_str()) == nullptr &&
                      GetProcAddress(module, ("_" + decorated).c_str()) == nullptr,
                  decorated + " is not exported");
  }
}

// Drives every export once, in the order the editor would: registration, a file read through,
// an output file opened (which a runtime without a writer refuses), then the options.
void ProbeCalls(HMODULE module, const std::string& readable, const std::string& scratch,
                Checks& checks) {
  ExportProbe probe(module, checks);

  FilterQueryRecord record;
  std::memset(&record, 0xAB, sizeof(record));
  const ProbedCall query = probe.Call("QueryVivaFilter", {Slot(&record)});
  checks.ExpectEqual(query.result & 0xFFFF, 0x0482u, "QueryVivaFilter's result");
  checks.ExpectEqual(std::string(record.name), std::string("Windows Media Audio"), "name");

  LONG rate = -1;
  WORD bits = 0xFFFF;
  WORD channels = 0xFFFF;
  probe.Call("GetSuggestedSampleType", {Slot(&rate), Slot(&bits), Slot(&channels)});
  checks.Expect(rate == 0 && bits == 0 && channels == 0, "no suggested sample type");

  const ProbedCall understood = probe.Call("FilterUnderstandsFormat", {Slot(readable.c_str())});
  checks.ExpectEqual(static_cast<DWORD>(understood.result), DWORD{1}, readable + " understood");

  LONG chunk = 0;
  const auto input = static_cast<DWORD>(
      probe
          .Call("OpenFilterInput", {Slot(readable.c_str()), Slot(&rate), Slot(&bits),
                                    Slot(&channels), 0, Slot(&chunk)})
          .result);
  if (checks.Expect(input != 0, readable + " opens")) {
    checks.ExpectEqual(chunk, LONG{65536}, "chunk size");
    checks.Expect(probe.Call("FilterGetFileSize", {input}).result > 0, "a size estimate");
    char text[128] = "untouched";
    probe.Call("FilterOptionsString", {input, Slot(text)});
    SpecialDataItem item{};
    for (const char* name : {"FilterGetFirstSpecialData", "FilterGetNextSpecialData"}) {
      if (probe.Call(name, {input, Slot(&item)}).result != 0) GlobalFree(item.hData);
    }
    std::vector<BYTE> buffer(4096);
    const ProbedCall read =
        probe.Call("ReadFilterInput", {input, Slot(buffer.data()), DWORD{4096}});
    checks.ExpectEqual(static_cast<DWORD>(read.result), DWORD{4096}, "bytes read");
    checks.ExpectEqual(static_cast<DWORD>(probe.Call("FilterOptions", {input}).result), DWORD{0},
                       "an input's options word");
    probe.Call("CloseFilterInput", {input});
  }

  const std::string output = scratch + "\\probe.wma";
  const auto handle = static_cast<DWORD>(
      probe.Call("OpenFilterOutput", {Slot(output.c_str()), 44100, 16, 2, 0, Slot(&chunk), 0})
          .result);
  static const char kTitle[] = "Probe";
  probe.Call("FilterWriteSpecialData",
             {handle, Slot("INFO"), Slot("INAM"), Slot(kTitle), DWORD{sizeof(kTitle)}});
  BYTE silence[4] = {};
  probe.Call("WriteFilterOutput", {handle, Slot(silence), DWORD{sizeof(silence)}});
  probe.Call("FilterOptions", {handle});
  probe.Call("CloseFilterOutput", {handle});
  DeleteFileA(output.c_str());

  checks.ExpectEqual(static_cast<DWORD>(probe.Call("DIALOGMsgProc", {0, WM_NULL, 0, 0}).result),
                     DWORD{0}, "DIALOGMsgProc leaves WM_NULL unhandled");
  // A module without the dialog procedure has no dialog to show: the word comes back at once.
  const ProbedCall options = probe.Call(
      "FilterGetOptions", {0, Slot(GetModuleHandleA(nullptr)), 0, 0, 0, DWORD{0x00010002}});
  checks.ExpectEqual(static_cast<DWORD>(options.result), DWORD{0x00010002},
                     "FilterGetOptions without the filter's module");
  probe.ExpectAllCalled();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: export_check WMAFILTER.DLL READABLE.wma SCRATCH_DIRECTORY\n", stderr);
    return 2;
  }
  Checks checks;
  const HMODULE module = LoadLibraryA(argv[1]);
  if (!checks.Expect(module != nullptr, std::string("LoadLibrary ") + argv[1])) {
    return checks.Summary();
  }
  CheckNames(module, checks);
  ProbeCalls(module, argv[2], argv[3], checks);
  FreeLibrary(module);
  return checks.Summary();
}
