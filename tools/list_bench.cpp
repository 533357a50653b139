// Times the insertions into the 2020 company list alone, as the transfer
// makes them (each under the whole-file lock, its place found, the records
// above it moved, the file flushed to the disk), with the records of a 2019
// list taken in the list's own order and then in sorted order:
//
//   qm-listbench <2019 SPISFIRM.DAT> <work directory>
//
// The complete runs of tools/bench.sh carry each company's files too, whose
// noise on a shared machine is larger than the whole of the insertions.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "driver/company_list.h"
#include "fileio/shared_file.h"
#include "platform/host_fs.h"

namespace {

class ListFile : public qm::SharedFile {
 public:
  explicit ListFile(const std::string& name) : SharedFile(name, qm::kCompanyRecSize) {}
  void Compare(const uint8_t* existing, const uint8_t* newRec, int16_t& res) override {
    res = order_ && order_->Added() == newRec ? order_->Compare(existing) : qm::Compare(existing, newRec);
  }
  bool BeforeInsert(int32_t, const uint8_t* rec) override {
    order_.emplace(rec);
    return true;
  }

 private:
  std::optional<qm::CompanyOrder> order_;
};

using Record = std::vector<uint8_t>;

// Seconds for inserting every record into a new list at path.
double Insert(const std::string& path, const std::vector<Record>& records) {
  qm::Fs().Remove(path);
  qm::SharedFilePtr<ListFile> list(new ListFile(path));
  if (!list->Open(qm::OpenOrCreate, qm::WaitRetry)) return -1;
  const auto start = std::chrono::steady_clock::now();
  for (const Record& r : records)
    if (!list->InsertSorted(r.data())) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: qm-listbench <2019 SPISFIRM.DAT> <work directory>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<Record> records;
  for (size_t at = 0; at + qm::kCompanyRecSize <= bytes.size(); at += qm::kCompanyRecSize)
    records.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                         bytes.begin() + static_cast<std::ptrdiff_t>(at + qm::kCompanyRecSize));
  std::unique_ptr<qm::FileSystem> fs = qm::MakeHostFileSystem();
  qm::SetFileSystem(fs.get());
  const std::string path = std::string(argv[2]) + "/SPISFIRM.DAT";
  const double asListed = Insert(path, records);
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return qm::Compare(b.data(), a.data()) < 0; });
  const double sorted = Insert(path, records);
  qm::Fs().Remove(path);
  if (asListed < 0 || sorted < 0) {
    std::fprintf(stderr, "qm-listbench: the list could not be written at %s\n", path.c_str());
    return 1;
  }
  std::printf("%zu insertions: %.2f s in the 2019 list's order, %.2f s in sorted order\n", records.size(),
              asListed, sorted);
  return 0;
}
