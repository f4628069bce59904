#pragma once

#include <cmath>

// A damped spring described the way designers give it: the response (the
// period of the undamped motion, in seconds) and the damping fraction.
// Stepped with the frame's time, so it runs at any frame rate.
class Spring {
public:
    Spring(double response = 0.34, double dampingFraction = 0.82) {
        const double omega = 2 * M_PI / response;
        m_stiffness = omega * omega;
        m_damping = 2 * dampingFraction * omega;
    }

    double value() const { return m_value; }
    double target() const { return m_target; }
    void setTarget(double target) { m_target = target; }
    // Jumps without animating.
    void reset(double value) {
        m_value = m_target = value;
        m_velocity = 0;
    }
    bool isSettled() const {
        return std::fabs(m_value - m_target) < 0.01 && std::fabs(m_velocity) < 0.01;
    }

    void step(double dt) {
        // Small sub-steps keep the integration stable on long frames.
        while (dt > 0) {
            const double h = dt > 1.0 / 240 ? 1.0 / 240 : dt;
            const double force = -m_stiffness * (m_value - m_target) - m_damping * m_velocity;
            m_velocity += force * h;
            m_value += m_velocity * h;
            dt -= h;
        }
        if (isSettled())
            reset(m_target);
    }

private:
    double m_stiffness;
    double m_damping;
    double m_value = 0;
    double m_target = 0;
    double m_velocity = 0;
};
