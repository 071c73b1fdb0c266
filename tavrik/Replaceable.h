#pragma once
// Private to Tavrik: a process-wide function that tests or front ends may
// replace, falling back to the built-in one when given an empty function.
#include <utility>

namespace tavrik {

template <typename Function>
class Replaceable {
public:
    explicit Replaceable(Function builtIn)
        : builtIn_(builtIn)
        , current_(std::move(builtIn))
    {
    }

    const Function& get() const { return current_; }

    Function replace(Function function)
    {
        Function previous = std::move(current_);
        current_ = function ? std::move(function) : builtIn_;
        return previous;
    }

private:
    Function builtIn_;
    Function current_;
};

}  // namespace tavrik
