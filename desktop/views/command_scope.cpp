#include "command_scope.h"

#include <QCursor>
#include <QGuiApplication>

namespace quillet {
namespace {

int& depth() {
    static int d = 0;
    return d;
}

std::function<void()>& after_command() {
    static std::function<void()> step;
    return step;
}

}  // namespace

CommandScope::CommandScope() {
    ++depth();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

CommandScope::~CommandScope() {
    QGuiApplication::restoreOverrideCursor();
    if (--depth() > 0)
        return;
    // A copy: the step may replace itself.
    if (const std::function<void()> step = after_command())
        step();
}

bool CommandScope::running() {
    return depth() > 0;
}

void CommandScope::set_after_command(std::function<void()> step) {
    after_command() = std::move(step);
}

}  // namespace quillet
