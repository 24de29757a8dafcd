#pragma once
// The read-back commands: "Vérifier l'appareil" compares a device with the active document,
// "Lire l'appareil" makes a new document of what a device holds. Neither writes the device.

class TDlgLecture;
class Workspace;
namespace salvo {
struct DeviceContents;
}

void VerifyDevice(Workspace& w, TDlgLecture* dialog, int port);
void ReadDevice(TDlgLecture* dialog, int port);
// A new editor window holding what a device was read to hold.
void NewDeviceWindow(Workspace& w, const salvo::DeviceContents& contents);
