// The number of COM objects this DLL has handed out and that are still
// alive, class objects and event sinks included: DllCanUnloadNow must
// answer S_FALSE while any of them is, or its code would vanish under it.
#pragma once

namespace tarnwick::win32 {

void AddObject();
void ReleaseObject();
long LiveObjects();

// A member that counts its owner for the owner's whole life.
struct CountedObject {
    CountedObject() { AddObject(); }
    CountedObject(const CountedObject&) { AddObject(); }
    CountedObject& operator=(const CountedObject&) = default;
    ~CountedObject() { ReleaseObject(); }
};

}  // namespace tarnwick::win32
