#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace tandor {

// A block of machine code owned by one compiled formula. The bytes are written while the block
// is writable and only then made read+execute: it is never writable and executable at once.
class ExecutableBlock {
public:
  // nullptr when the system refuses executable memory.
  static std::unique_ptr<ExecutableBlock> Create(std::span<const uint8_t> code);
  ~ExecutableBlock();
  ExecutableBlock(const ExecutableBlock &) = delete;
  ExecutableBlock &operator=(const ExecutableBlock &) = delete;

  const void *Entry() const { return Start; }

private:
  ExecutableBlock(void *start, std::size_t length) : Start(start), Length(length) {}
  void *Start;
  std::size_t Length;
};

} // namespace tandor
