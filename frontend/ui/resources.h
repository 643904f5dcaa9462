// Pictures by resource id: "<resource folder>/bitmap/<id>.png" and icons
// "<resource folder>/icon/<id>.png", the resource folder being
// "<program folder>/resource" unless set.
#pragma once

#include <QImage>
#include <string>

void SetResourceFolder(const std::string& folder);
const std::string& ResourceFolder();
// A null image when the picture is missing or unreadable.
QImage LoadBitmapResource(int id);
// A null image when the icon is missing or unreadable.
QImage LoadIconResource(int id);
