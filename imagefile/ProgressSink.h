#pragma once

// Receives how far a long operation has come, as a fraction from 0 to 1.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void OnProgress(double fraction) = 0;
};
