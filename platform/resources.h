#pragma once
// The program's own resources: files named in resources/resources.list, compiled
// into a table at build time. The four calls below stand in for the system's
// FindResourceA, SizeofResource, LoadResource and LockResource, with the same
// answers for the cases the program meets: a missing name, a wrong type or an
// empty resource gives 0 at the step where the system would give it.
#include <cstddef>
#include <cstdint>

namespace platform {

// Resource types keep their system numbers.
constexpr unsigned RT_DIALOG = 5;
constexpr unsigned RT_RCDATA = 10;

// One entry of the table. `name` is the resource's name as written in the
// list; `id` is nonzero for a numbered resource ("104" in the list).
struct ResourceEntry {
  const char* name;
  unsigned id;
  unsigned type;
  const unsigned char* data;
  size_t size;
};

using ModuleHandle = const void*;              // nullptr: the program itself
using ResourceHandle = const ResourceEntry*;   // what FindResourceA hands out
using ResourceGlobal = const ResourceEntry*;   // what LoadResource hands out

// A name argument that stands for a resource number, as MAKEINTRESOURCE makes.
inline const char* MakeIntResource(unsigned id) {
  return reinterpret_cast<const char*>(static_cast<uintptr_t>(id & 0xFFFFu));
}

// `name` is a string (compared without regard to ASCII case, "#104" meaning
// number 104) or a MakeIntResource number. Only the program's own module
// (nullptr) holds resources.
ResourceHandle FindResourceA(ModuleHandle module, const char* name, unsigned type);
uint32_t SizeofResource(ModuleHandle module, ResourceHandle resource);
ResourceGlobal LoadResource(ModuleHandle module, ResourceHandle resource);
// The resource's bytes, which live as long as the program; nullptr for none or
// for an empty resource.
const void* LockResource(ResourceGlobal global);

// The four calls in one, for code that only wants the bytes: {nullptr, 0} for a
// missing name, a wrong type or an empty resource.
struct ResourceBytes {
  const unsigned char* data = nullptr;
  size_t size = 0;
};
ResourceBytes FindResourceBytes(const char* name, unsigned type);

// The whole table, in the order of the list (for tools and tests).
const ResourceEntry* ResourceTable(size_t* count);

}  // namespace platform
