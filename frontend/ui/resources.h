// Pictures by resource id: "<resource folder>/bitmap/<id>.png", the resource
// folder being "<program folder>/resource" unless set.
#pragma once

#include <QImage>
#include <string>

void SetResourceFolder(const std::string& folder);
const std::string& ResourceFolder();
// A null image when the picture is missing or unreadable.
QImage LoadBitmapResource(int id);
