// The dispatcher under re-entrancy and object death: what a callback may do to the emission it
// runs in, and which connections survive which destruction.
#include "toolkit/core/event_dispatcher.h"
#include "toolkit/core/event_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace zksdk::ui {
namespace {

class probe : public event_object {
public:
    void on_event(const event_info& info) { log += "e" + std::to_string(info.type); }
    void on_plain() { log += "p"; }
    void on_flag(bool value) { log += value ? "T" : "F"; }
    std::string log;
};

event_dispatcher& dispatcher()
{
    return event_dispatcher::instance();
}

TEST(EventDispatcher, EmitWithoutCallbacksReturnsFalseAndCallsNothing)
{
    probe sender;
    EXPECT_FALSE(dispatcher().emit(&sender, event_type::paint));
    EXPECT_FALSE(dispatcher().has_handlers(&sender, event_type::paint));
    const connection_id id =
        dispatcher().connect(&sender, &sender, event_type::mouse_up, [](const event_info&) {});
    EXPECT_FALSE(dispatcher().emit(&sender, event_type::paint));
    EXPECT_TRUE(dispatcher().has_handlers(&sender, event_type::mouse_up));
    dispatcher().disconnect(id);
    EXPECT_FALSE(dispatcher().has_handlers(&sender, event_type::mouse_up));
    dispatcher().disconnect(id);  // unknown now: ignored
    dispatcher().disconnect(~0u); // never issued: ignored
}

TEST(EventDispatcher, CallbacksRunInConnectionOrderWithOneRecord)
{
    probe sender;
    probe receiver;
    std::vector<const event_info*> seen;
    int value = 7;
    const connection_id first =
        dispatcher().connect(&sender, &receiver, event_type::clicked, [&](const event_info& info) {
            seen.push_back(&info);
            EXPECT_EQ(&sender, info.sender);
            EXPECT_EQ(50u, info.type);
            EXPECT_EQ(0, info.phase);
            EXPECT_EQ(3, info.detail);
            EXPECT_EQ(&value, info.data);
            EXPECT_EQ(99u, info.extra);
        });
    const connection_id second = dispatcher().connect(&sender, &receiver, event_type::clicked,
                                                      bind_event(&receiver, &probe::on_event));
    dispatcher().connect(&sender, &receiver, event_type::clicked,
                         bind_event(&receiver, &probe::on_plain));
    dispatcher().connect(&sender, &receiver, event_type::clicked,
                         bind_event(&receiver, &probe::on_flag, false));
    EXPECT_EQ(first + 1, second); // one counter numbers every connection
    EXPECT_TRUE(dispatcher().emit(&sender, event_type::clicked, 0, 3, &value, 99));
    EXPECT_EQ("e50pF", receiver.log);
    EXPECT_EQ(1u, seen.size());
}

TEST(EventDispatcher, ChangesDuringAnEmissionTakeEffectAtTheNextOne)
{
    probe sender;
    std::string log;
    connection_id self = 0;
    connection_id other = 0;
    self = dispatcher().connect(&sender, &sender, event_type::timer, [&](const event_info&) {
        log += "a";
        dispatcher().disconnect(self);
        dispatcher().disconnect(other);
        dispatcher().connect(&sender, &sender, event_type::timer,
                             [&](const event_info&) { log += "c"; });
    });
    other = dispatcher().connect(&sender, &sender, event_type::timer,
                                 [&](const event_info&) { log += "b"; });

    dispatcher().emit(&sender, event_type::timer);
    EXPECT_EQ("ab", log); // the removed callback still ran; the added one waits
    dispatcher().emit(&sender, event_type::timer);
    EXPECT_EQ("abc", log);
}

TEST(EventDispatcher, TheSenderMayBeDestroyedAndEmitAgainDuringItsEmission)
{
    auto sender = std::make_unique<probe>();
    event_object* address = sender.get();
    std::string log;
    dispatcher().connect(address, address, event_type::destroyed, [&](const event_info& info) {
        log += "a";
        dispatcher().emit(info.sender, event_type::shown); // recursion
        sender.reset();
    });
    dispatcher().connect(address, address, event_type::shown,
                         [&](const event_info&) { log += "s"; });
    dispatcher().connect(address, address, event_type::destroyed, [&](const event_info& info) {
        log += "b";
        EXPECT_EQ(address, info.sender); // the record outlives its sender
    });
    EXPECT_TRUE(dispatcher().emit(address, event_type::destroyed));
    EXPECT_EQ("asb", log);
    EXPECT_FALSE(dispatcher().has_handlers(address, event_type::destroyed));
}

TEST(EventDispatcher, DestroyingAReceiverOrASenderCutsItsConnections)
{
    probe sender;
    auto receiver = std::make_unique<probe>();
    auto other = std::make_unique<probe>();
    dispatcher().connect(&sender, receiver.get(), event_type::clicked,
                         bind_event(receiver.get(), &probe::on_plain));
    dispatcher().connect(&sender, other.get(), event_type::clicked,
                         bind_event(other.get(), &probe::on_plain));
    receiver.reset();
    EXPECT_TRUE(dispatcher().emit(&sender, event_type::clicked)); // the other one still listens
    EXPECT_EQ("p", other->log);

    // A sender's death removes its callbacks whoever the receiver; their ids become unknown.
    auto doomed = std::make_unique<probe>();
    event_object* address = doomed.get();
    const connection_id id = dispatcher().connect(address, other.get(), event_type::clicked,
                                                  bind_event(other.get(), &probe::on_plain));
    const connection_id kept = dispatcher().connect(&sender, other.get(), event_type::shown,
                                                    bind_event(other.get(), &probe::on_flag, true));
    doomed.reset();
    EXPECT_FALSE(dispatcher().has_handlers(address, event_type::clicked));
    dispatcher().disconnect(id);
    EXPECT_TRUE(dispatcher().emit(&sender, event_type::shown));
    EXPECT_EQ("pT", other->log);
    dispatcher().disconnect(kept);
    other.reset();
    EXPECT_FALSE(dispatcher().has_handlers(&sender, event_type::clicked));
}

} // namespace
} // namespace zksdk::ui
