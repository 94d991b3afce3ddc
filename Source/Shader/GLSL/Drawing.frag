#version 330
in vec4 vFrontColor;
layout(location = 0) out vec4 vFragColor;

void main() {
	vFragColor = vFrontColor;
}
