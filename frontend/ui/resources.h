// Pictures by resource id: "<resource folder>/bitmap/<id>.png" and icons
// "<resource folder>/icon/<id>.png", the resource folder being
// "<program folder>/resource" unless set; the program's icon
// "<resource folder>/icon/velmo-<N>.png" in several sizes.
#pragma once

#include <QIcon>
#include <QImage>
#include <string>

void SetResourceFolder(const std::string& folder);
const std::string& ResourceFolder();
// A null image when the picture is missing or unreadable.
QImage LoadBitmapResource(int id);
// A null image when the icon is missing or unreadable.
QImage LoadIconResource(int id);

// The sizes the program's icon is drawn in.
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
// The program's icon in every size that can be read; null when none can.
QIcon LoadProgramIcon();
