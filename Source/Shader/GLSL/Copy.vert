#version 330
// Full-screen copies: the screen quad in pixel coordinates.
layout(std140) uniform ProjectionMatrix {
	mat4 mPerspectiveMatrix;
	mat4 m2DMatrix;
};
in vec4 vVertex;
in vec2 vTexCoord0;
out vec2 vTexCoord;

void main() {
	vTexCoord = vTexCoord0;
	gl_Position = m2DMatrix * vVertex;
}
