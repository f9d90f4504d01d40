// The one exception type the toolkit's platform code throws when a system service fails.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace zksdk::ui {

// A failure the toolkit cannot work around; the message begins "unable to" and names what failed.
// Only the entry point catches it, once the wizard is gone, to tell the user.
class zk_exception : public std::exception {
public:
    explicit zk_exception(std::string_view message);

    const char* what() const noexcept override;

private:
    std::string m_message;
};

} // namespace zksdk::ui
