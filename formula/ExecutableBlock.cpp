// ExecutableBlock: pages of machine code, writable while filled and executable after.

#include "formula/ExecutableBlock.h"

#include <cstring>
#include <sys/mman.h>

namespace tandor {

std::unique_ptr<ExecutableBlock> ExecutableBlock::Create(std::span<const uint8_t> code) {
  const std::size_t length = code.size() + 4;
  void *start = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (start == MAP_FAILED)
    return nullptr;
  std::memcpy(start, code.data(), code.size());
  if (mprotect(start, length, PROT_READ | PROT_EXEC) != 0) {
    munmap(start, length);
    return nullptr;
  }
  return std::unique_ptr<ExecutableBlock>(new ExecutableBlock(start, length));
}

ExecutableBlock::~ExecutableBlock() {
  munmap(Start, Length);
}

} // namespace tandor
