#pragma once
// Registers the built-in window resources with the global resource loader.
void InitXmlResource();
