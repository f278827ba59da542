#pragma once

// What the workers tell the terminal list view, without touching it: the
// console posts these to the view's thread; they carry no parameters.
class IViewNotifications {
public:
    virtual ~IViewNotifications() = default;
    // A discovery run has ended, in any way.
    virtual void PostDiscoveryDone() = 0;
    // A trap registered a terminal the database did not have.
    virtual void PostTrapNewUnits() = 0;
};
