#pragma once
// What a run that changed nothing writes: the thirteen lines, CR LF each.

#include <QByteArray>

inline const QByteArray DefaultSettingsFile = "[Settings]\r\n"
                                              "SLeft=801\r\n"
                                              "STop=0\r\n"
                                              "SWidth=800\r\n"
                                              "SHeight=600\r\n"
                                              "BColor=8454143\r\n"
                                              "ShowBorder=1\r\n"
                                              "FName=Arial\r\n"
                                              "FSize=18\r\n"
                                              "FBold=1\r\n"
                                              "FColor=255\r\n"
                                              "DisplayFile=\r\n"
                                              "BackgroundImage=\r\n";
