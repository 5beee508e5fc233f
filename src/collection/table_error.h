#pragma once
// The one error the collection table and its file raise. Callers catch it at the
// window handler and show their own German message; what() says what went wrong
// for the operator's or a developer's eyes.
#include <stdexcept>
#include <string>

namespace orvela {

class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace orvela
