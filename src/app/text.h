#pragma once
#include <string>

// A text is a run of GBK (code page 936) bytes; the empty string stands for the absent text.
using Text = std::string;

// A byte block is a length-counted run of bytes; the empty block stands for the absent block.
using ByteBlock = std::string;
