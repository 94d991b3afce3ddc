#version 330
uniform sampler2D ColorMap;
uniform sampler2D DepthMap;
in vec2 vTexCoord;
out vec4 vFragColor;

void main() {
	vFragColor = texture(ColorMap, vTexCoord);
}
