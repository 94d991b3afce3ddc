#version 330
uniform vec4 vColor;
in float fLighting;
layout(location = 0) out vec4 vFragColor;

void main() {
	vFragColor = vec4(vColor.rgb * fLighting + (1.0 - fLighting) * vColor.rgb * 0.4, vColor.a);
}
