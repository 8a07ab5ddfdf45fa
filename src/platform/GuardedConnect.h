#pragma once

#include "AppException.h"
#include "GuardedApplication.h"

#include <QObject>
#include <functional>
#include <type_traits>

// Runs one action of an event handler; an error it raises is shown by the error display
// and ends only that action. Handlers reached from a widget's own event code are
// connected through here, because Qt's widget code lies between the throw and the
// application object and is not built to be unwound.
template <typename Action> void guarded(Action &&action)
{
    try {
        std::forward<Action>(action)();
    } catch (const AppException &e) {
        GuardedApplication::showError(e.message());
    } catch (const std::exception &e) {
        GuardedApplication::showError(QString::fromLocal8Bit(e.what()));
    }
}

// connect() for a handler that may raise: a member function of `receiver` taking no
// arguments, or any callable taking none.
template <typename Sender, typename Signal, typename Receiver, typename Handler>
QMetaObject::Connection connectGuarded(const Sender *sender, Signal signal, Receiver *receiver,
                                       Handler handler)
{
    return QObject::connect(sender, signal, receiver, [receiver, handler] {
        guarded([&] {
            if constexpr (std::is_member_function_pointer_v<Handler>)
                std::invoke(handler, receiver);
            else
                handler();
        });
    });
}
