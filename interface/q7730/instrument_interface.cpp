#include "interface/q7730/instrument_interface.h"

#include <iterator>

namespace tevra::server {
namespace {

#define TEVRA_NAME_METHOD(Name, R, ...) #Name,
#define TEVRA_NAME_PROPERTY(Name, T) "get_" #Name, "put_" #Name,
#define TEVRA_NAME_READONLY(Name, T) "get_" #Name,
constexpr const char* kOpNames[] = {
    TEVRA_SERVER_OPERATIONS(TEVRA_NAME_METHOD, TEVRA_NAME_PROPERTY, TEVRA_NAME_READONLY)};
#undef TEVRA_NAME_METHOD
#undef TEVRA_NAME_PROPERTY
#undef TEVRA_NAME_READONLY
static_assert(std::size(kOpNames) == static_cast<size_t>(ServerOp::kCount));

struct OpShape {
  VARTYPE resultType;
  uint32_t arity;
};

template <ServerOp op>
constexpr OpShape shapeOf() {
  using R = typename OpSignature<op>::Result;
  if constexpr (std::is_void_v<R>) {
    return {platform::VT_EMPTY, static_cast<uint32_t>(OpSignature<op>::arity)};
  } else {
    return {Wire<R>::vt, static_cast<uint32_t>(OpSignature<op>::arity)};
  }
}

#define TEVRA_SHAPE_METHOD(Name, R, ...) shapeOf<ServerOp::Name>(),
#define TEVRA_SHAPE_PROPERTY(Name, T) shapeOf<ServerOp::get_##Name>(), shapeOf<ServerOp::put_##Name>(),
#define TEVRA_SHAPE_READONLY(Name, T) shapeOf<ServerOp::get_##Name>(),
constexpr OpShape kOpShapes[] = {
    TEVRA_SERVER_OPERATIONS(TEVRA_SHAPE_METHOD, TEVRA_SHAPE_PROPERTY, TEVRA_SHAPE_READONLY)};
#undef TEVRA_SHAPE_METHOD
#undef TEVRA_SHAPE_PROPERTY
#undef TEVRA_SHAPE_READONLY

}  // namespace

const char* serverOpName(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpNames) ? kOpNames[index] : "?";
}

VARTYPE serverOpResultType(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpShapes) ? kOpShapes[index].resultType : platform::VT_EMPTY;
}

uint32_t serverOpArity(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpShapes) ? kOpShapes[index].arity : 0;
}

}  // namespace tevra::server
