/*
** content_hash.h
** What a submission holds, as one number: a rerun grades again only the
** students whose folder changed, or all of them when the settings did.
*/
#pragma once

#include <string>

/* FNV-1a (64 bits) of Settings, then of every entry under Folder in name
** order: its path from Folder, its kind, and a file's bytes or a link's
** target (links are never followed). Sixteen hex digits; the same for a
** missing folder and an empty one, which both grade as missing. */
std::string Submission_Hash(const std::string& Folder, const std::string& Settings);
