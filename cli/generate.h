// kestal-tool generate: strong passwords from the system's cryptographic generator.
#pragma once

struct GenerateOptions {
    int length = 20;        // characters a password, at most the 62 the program's field keeps
    int count = 1;          // how many
    bool symbols = true;    // draw from the symbols too, and hold at least one
    bool lookalikes = true; // false: leave out characters easily mistaken for others
};

// Prints the passwords, one a line; 0 done, 2 when the options or the generator fail.
int Generate(const GenerateOptions& g);
