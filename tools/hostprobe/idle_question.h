// Whether the host takes a subscription to its application's idle notification from a program
// outside its process, and how often an idle host sends it.
#pragma once

#include "drawing/com/host_line.h"
#include "tools/hostprofile/host_profile.h"

#include <windows.h>
#include <oaidl.h>

#include <chrono>

namespace tvx::hostprobe {

// Subscribes through the application's connection point, counts the notifications that arrive
// while the probe's thread dispatches its messages for `wait`, and gives the subscription back.
// Each call goes over the line, within Tarvenix's bounds for a busy or hung host.
hostprofile::IdleAnswer askIdleSubscription(IDispatch* app, com::HostLine& line, std::chrono::milliseconds wait);

} // namespace tvx::hostprobe
