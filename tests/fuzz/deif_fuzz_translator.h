// A translator for fuzzing and for the corpus test: it knows every name it
// is asked for (numbering names in the order it meets them) except those
// that begin with "Unknown", which it refuses, so both paths get exercised.
#pragma once

#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "s100/cterrors.h"
#include "s100/deif.h"

namespace deif_test {

class FuzzNames {
 public:
  static constexpr uint32_t kFirst = 0x00a00000;

  static QV_Status Translate(uint32_t* symbol, char** text, int32_t direction, void* context) {
    FuzzNames* self = static_cast<FuzzNames*>(context);
    if (direction != 0) {
      uint32_t index = *symbol - kFirst;
      if (*symbol < kFirst || index >= self->names_.size())
        return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrUnknownSymbol, 0);
      const std::string& name = self->names_[index];
      *text = static_cast<char*>(std::malloc(name.size() + 1));
      if (*text == nullptr) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrTranslator, 0);
      std::memcpy(*text, name.c_str(), name.size() + 1);
      return QV_OK;
    }
    std::string name(*text);
    if (name.compare(0, 7, "Unknown") == 0) return QV_CreateStatus(QV_STATE_FAILURE, ct::kErrUnknownSymbol, 0);
    auto it = self->symbols_.find(name);
    if (it == self->symbols_.end()) {
      it = self->symbols_.emplace(name, kFirst + static_cast<uint32_t>(self->names_.size())).first;
      self->names_.push_back(name);
    }
    *symbol = it->second;
    return QV_OK;
  }

 private:
  std::unordered_map<std::string, uint32_t> symbols_;
  std::vector<std::string> names_;
};

}  // namespace deif_test
