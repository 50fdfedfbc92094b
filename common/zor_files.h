/*
** zor_files.h
** The fixed names of the files through which the simulation programs
** meet. Every program opens them in the current folder; none takes a
** name from the user.
*/
#pragma once

inline constexpr char ZOR_Binary_In[] = "ZOR_Binary_In";
inline constexpr char ZOR_Binary_Out[] = "ZOR_Binary_Out";
inline constexpr char ZOR_Text_In[] = "ZOR_Text_In";
inline constexpr char ZOR_Text_Out[] = "ZOR_Text_Out";
inline constexpr char ZOR_Debug_Out[] = "ZOR_Debug_Out";
